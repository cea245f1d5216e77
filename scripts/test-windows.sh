#!/usr/bin/env bash
# Builds tarnwick_core with the Win32 serial backend and its test programs for
# 64-bit Windows with MinGW-w64, and runs them under Wine with ctest. COM-port
# tests get a pseudo-terminal as their far side (tests/windows/far_side.py).
#
#   scripts/test-windows.sh [BUILD_DIR]      (default: build-windows)
#
# GoogleTest is built for Windows from Debian's sources once, into the build
# directory. Wine runs in a prefix of its own inside the build directory,
# without a display, and its server is stopped when the tests are done.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build=${1:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

bash scripts/install-deps.sh --windows

toolchain="$source_dir/cmake/mingw-w64-x86_64.cmake"
gtest_prefix="$build/googletest"
if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "Building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$build/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$gtest_prefix" >/dev/null
  cmake --build "$build/googletest-build"
  cmake --install "$build/googletest-build" >/dev/null
fi

# Quiet and headless: no debug channels, no display, no offer to fetch the
# Mono and Gecko add-ons that nothing here needs.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

emulator="env;WINEPREFIX=$WINEPREFIX;WINEDEBUG=-all;WINEDLLOVERRIDES=$WINEDLLOVERRIDES;wine"
cmake -S . -B "$build/tarnwick" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF \
  -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
  -DTARNWICK_WINE_PREFIX="$WINEPREFIX" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
cmake --build "$build/tarnwick"

# One server for all test programs, kept between them and stopped whatever
# happens next. The server and the services that the first program starts
# stay until then, so both are started here with their output away from
# ctest's pipes: started by a test, they would hold them open.
mkdir -p "$WINEPREFIX"
wineserver --persistent </dev/null >/dev/null 2>&1 || true
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix"
  wine wineboot --init </dev/null >/dev/null 2>&1
fi
wine cmd /c exit </dev/null >/dev/null 2>&1

cd "$build/tarnwick"
ctest --output-on-failure -j2
