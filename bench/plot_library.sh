#!/bin/sh
# Builds the plot-library benchmark in Release and runs each library's build
# under Xvfb for SECONDS (default 20): 8 channels x 10,000 points at 30 fps.
# Also prints the X server's CPU time over the same run.
# Usage: bench/plot_library.sh [build-dir] [seconds]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-plot-release}
seconds=${2:-20}
[ -f "$build/build.ninja" ] || cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
for lib in qcustomplot qtcharts; do
  cmake --build "$build" -j2 --target "plot_library_$lib" >/dev/null 2>&1 || {
    echo "plot_library_$lib: not built (package missing?)"; continue; }
  display=:$((90 + $$ % 100))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  x0=$(awk '{print $14 + $15}' /proc/$xvfb/stat)
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bench/plot_library_$lib" "$seconds"
  x1=$(awk '{print $14 + $15}' /proc/$xvfb/stat)
  echo "  Xvfb: $(( (x1 - x0) * 100 / $(getconf CLK_TCK) / 100 )).$(( (x1 - x0) * 100 / $(getconf CLK_TCK) % 100 )) s CPU"
  kill "$xvfb"; wait "$xvfb" 2>/dev/null || true
done
