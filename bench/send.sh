#!/bin/sh
# Builds the send benchmarks in Release and runs them: the worker's send rate
# of a 1 MiB block on a pseudo-terminal, then the Send data window idle and
# sending. Usage: bench/send.sh [build-dir]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-send-release}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target send_throughput send_dialog_idle >/dev/null
echo "== worker send rate, 1 MiB block on a pty"
"$build/bench/send_throughput" 1024 5
echo "== Send data window"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/send_dialog_idle" 5 10
