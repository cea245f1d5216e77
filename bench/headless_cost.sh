#!/usr/bin/env bash
# The capture with no window at 100 kB/s with both logs, in CPU against cat on
# the same stream (bench/headless_cost.py). Builds the program (the project's
# default RelWithDebInfo) in its own directory; arguments after the build
# directory go to the script (--rate, --seconds, --repeat, --limit).
# Usage: bench/headless_cost.sh [BUILD_DIR] [OPTIONS...]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build-line-rates}"
shift || true
cmake -S "$repo" -B "$build" -G Ninja -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" --target tarnwick tarnwick-sim line_rates_config >/dev/null
exec python3 "$repo/bench/headless_cost.py" --build "$build" "$@"
