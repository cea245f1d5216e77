#!/usr/bin/env bash
# Builds the threaded parts and their tests with ThreadSanitizer in a build
# directory of their own and runs them: the port worker (scripted device,
# pseudo-terminals, the tap, network ports before ser2net), the screen model,
# the settings hand-over, the Port Settings dialog, the settings changes of the
# running program, and the plot's hand-over from the worker to its window.
# Usage: scripts/tsan.sh [BUILD_DIR]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build-tsan}"
case "$build" in /*) ;; *) build="$repo/$build" ;; esac

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" --target settings_tests display_tests port_worker_test \
  port_worker_pty_test program_tap_test port_worker_ser2net_test dialogs_tests plot_tests app_test

# Qt's own locking is invisible to the sanitizer (Qt is not built with it);
# tests/tsan.supp names what that hides, nothing of ours.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$repo/tests/tsan.supp"
export QT_QPA_PLATFORM=offscreen
cd "$build"
./tests/settings/settings_tests
./tests/display/display_tests
./tests/worker/port_worker_test
./tests/worker/port_worker_pty_test
./tests/worker/program_tap_test
./tests/worker/port_worker_ser2net_test
./tests/dialogs/dialogs_tests
./tests/plot/plot_tests
./tests/app/app_test --gtest_filter='StarDialog*:FirstStart*:PortSettingsCommand*:ZerikApp.*:LineStatePanes*:PlotWindow.Plots*:ZerikViewRepaint*'
echo "tsan.sh: no data race, no lock-order inversion"
