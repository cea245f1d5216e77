#!/bin/sh
# Builds the worker throughput benchmark in Release and runs it for 16 and
# 64 MiB, so peak memory can be compared across sizes, then for 16 MiB with
# the display options on.
# Usage: bench/worker_throughput.sh [build-dir]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-worker-release}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_GUI=OFF \
  -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target worker_throughput >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for mib in 16 64; do
  echo "== $mib MiB"
  "$build/bench/worker_throughput" "$mib" "$work"
done
echo "== 16 MiB, display options on"
"$build/bench/worker_throughput" 16 "$work" options
