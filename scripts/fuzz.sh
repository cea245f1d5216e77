#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) and runs each for a
# bounded time. Not part of `make test`.
#   scripts/fuzz.sh [seconds] [target]   default 60 s each, both targets
# Targets: parse_input (the transmit text parser), update_reply (the
# version-check reply and the download checks).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
only="${2:-}"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"

build() {
  local name="$1"
  shift
  clang++ -std=c++20 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$root/src" \
    "$root/fuzz/${name}_fuzzer.cpp" "$@" -o "$out/${name}_fuzzer"
}

run() {
  local name="$1" max_len="$2"
  (cd "$out" && "./${name}_fuzzer" -max_total_time="$seconds" -max_len="$max_len" \
    -print_final_stats=1 "corpus-$name")
}

# A few inputs to start from.
seed() { printf "$3" >"$out/corpus-$1/$2"; }

if [ -z "$only" ] || [ "$only" = parse_input ]; then
  mkdir -p "$out/corpus-parse_input"
  build parse_input "$root/src/transmit/transmit_parser.cpp" "$root/src/transmit/scan_float.cpp"
  # Header bytes (format, unit, flags), then text.
  seed parse_input ascii '\x00\x01\x00A\\0D\\0a\\4'
  seed parse_input hex '\x01\x02\x00 41 42\r\n43 a'
  seed parse_input bin '\x02\x03\x01 11111111 1021'
  seed parse_input dec '\x03\x05\x00127 -127 - 5 1 -'
  seed parse_input float '\x04\x01\x012.5V 1e3 ,5 -2'
  run parse_input 4096
fi

if [ -z "$only" ] || [ "$only" = update_reply ]; then
  mkdir -p "$out/corpus-update_reply"
  build update_reply "$root/src/update/update_reply.cpp" "$root/src/update/update_rules.cpp"
  seed update_reply same 'LastVer;1.2.1.2;0;http://h/x;'
  seed update_reply ask 'LastVer;1.3.0.0;1;https://h.example/Tarnwick;more;'
  seed update_reply update 'LastVer;9;0;http://127.0.0.1:8080/new;'
  seed update_reply nul 'LastVer;1.3\x00x;-2147483648;http://h/\x00;'
  seed update_reply elf '8;\x7f''ELF\x02\x01\x01'
  run update_reply 3000
fi
