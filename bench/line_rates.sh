#!/usr/bin/env bash
# The whole program at real line rates (11.5 kB/s, 100 kB/s, 300 kB/s and a
# flood) under Xvfb against the device simulator, with cat on the same stream
# as the reference: CPU per thread, wake-ups, paints per second, bytes lost.
# Builds the program (the project's default RelWithDebInfo) in its own
# directory, then runs bench/line_rates.py; arguments after the build
# directory go to it (--seconds, --warmup, --repeat, --rates, --rows, --keep,
# --baseline BUILD_DIR for an earlier build measured in the same runs).
# --rows 25,100000 runs each rate once per Rows setting, each screen filled
# before it is measured, and shows each one's CPU against Rows 25's.
# Usage: bench/line_rates.sh [BUILD_DIR] [OPTIONS...]
#   e.g. bench/line_rates.sh build-line-rates --rates 100k --rows 25,100000
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build-line-rates}"
shift || true
bash "$repo/scripts/install-deps.sh" --gui-tools >/dev/null
cmake -S "$repo" -B "$build" -G Ninja -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" --target tarnwick tarnwick-sim line_rates_config >/dev/null
exec python3 "$repo/bench/line_rates.py" --build "$build" "$@"
