#!/usr/bin/env bash
# Builds Tarnwick in Release and runs the fault soak on it (see
# bench/fault_soak.py). Not part of `make test`: it takes a few minutes and
# mounts a small tmpfs, as root or inside a user namespace of its own.
# Usage: bench/fault_soak.sh [BUILD_DIR] [fault_soak.py options...]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build-soak}"
shift || true
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF \
  -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$build" --target tarnwick >/dev/null
soak=("$repo/bench/fault_soak.py" "$build/src/app/tarnwick" "$@")
if [ "$(id -u)" -eq 0 ]; then
  exec python3 "${soak[@]}"
fi
exec unshare --user --map-root-user --mount python3 "${soak[@]}"
