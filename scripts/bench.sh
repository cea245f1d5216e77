#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: the formatter on one core,
# then the whole receive path from a pseudo-terminal against cat, then how long
# stopping a version check with a hanging request takes.
# Usage: scripts/bench.sh [BUILD_DIR]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build-bench}"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_GUI=OFF \
  -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" --target screen_model_bench worker_throughput update_stop_bench
taskset -c 1 "$build/bench/screen_model_bench" --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true
bash "$repo/bench/worker_throughput.sh" "$build"
"$build/bench/update_stop_bench"
