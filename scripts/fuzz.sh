#!/usr/bin/env bash
# Builds the ParseInput fuzzer with clang (libFuzzer, ASan, UBSan) and runs it
# for a bounded time. Not part of `make test`.
#   scripts/fuzz.sh [seconds]      default 60
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
mkdir -p "$out/corpus"

clang++ -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I "$root/src" \
  "$root/fuzz/parse_input_fuzzer.cpp" \
  "$root/src/transmit/transmit_parser.cpp" \
  "$root/src/transmit/scan_float.cpp" \
  -o "$out/parse_input_fuzzer"

# A few typed inputs to start from: header bytes (format, unit, flags), then text.
seed() { printf "$2" >"$out/corpus/$1"; }
seed ascii '\x00\x01\x00A\\0D\\0a\\4'
seed hex '\x01\x02\x00 41 42\r\n43 a'
seed bin '\x02\x03\x01 11111111 1021'
seed dec '\x03\x05\x00127 -127 - 5 1 -'
seed float '\x04\x01\x012.5V 1e3 ,5 -2'

cd "$out"
exec ./parse_input_fuzzer -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 corpus
