#!/usr/bin/env bash
# Runs Tarnwick under Xvfb on the device simulator and saves PNGs of the view
# as people use it: the status bar with the port's state, following the
# newest line in a long scrollback and the note when it stops, View > Options,
# text beside HEX units, the find bar with its matches, and a selection with
# the context menu.
# Usage: scripts/screenshot_view.sh [BUILD_DIR] [OUT_DIR]
# The X display is :$TARNWICK_SCREENSHOT_DISPLAY (124 unless set).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
out="${2:-$build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

cmake --build "$build" --target tarnwick tarnwick-sim

snap() { import -window root "$out/$1.png"; echo "saved $out/$1.png"; }

work="$(mktemp -d)"
xvfb_pid="" sim_pid="" app_pid=""
cleanup() {
  for pid in $app_pid $sim_pid $xvfb_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export DISPLAY=":${TARNWICK_SCREENSHOT_DISPLAY:-124}"
Xvfb "$DISPLAY" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Norvast"

start_tarnwick() {
  rm -f "$work/sim.out"
  "$build/tools/tarnwick-sim" --rate "${2:-300}" >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  (cd "$work" && TARNWICK_COM1="$(head -n1 "$work/sim.out")" exec "$build/src/app/tarnwick") &
  app_pid=$!
  sleep "${1:-3}"
}
stop_tarnwick() {
  kill -TERM "$app_pid"
  wait "$app_pid" || true
  app_pid=""
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=""
}
focus_tarnwick() {
  xdotool search --sync --name ' - Tarnwick$' windowfocus --sync >/dev/null 2>&1 || true
}
set_field() {
  local offset=$1 value=$2
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $(((value >> 8) & 255)) \
    $(((value >> 16) & 255)) $(((value >> 24) & 255)))" |
    dd of="$work/Tarnwick.cfg" bs=1 seek="$offset" conv=notrunc status=none
}
options() { printf '[Options]\n%s\n' "$*" | tr ' ' '\n' >"$XDG_CONFIG_HOME/Norvast/Tarnwick.conf"; }

# A configuration file of the defaults: the first start's questions answered.
start_tarnwick 2
xdotool key Return
sleep 1
xdotool key Return
sleep 1
stop_tarnwick

# HEX, 16 units a line, a scrollback of 5000 rows: the view follows.
set_field 116 16; set_field 120 5000; set_field 128 0; set_field 132 1
options "FollowNewLines=1"
start_tarnwick 6
snap view-follow
# Scrolled up: following stops and the status bar says so.
focus_tarnwick
xdotool key Page_Up Page_Up
sleep 0.5
snap view-follow-paused
stop_tarnwick

# View > Options.
start_tarnwick 3
focus_tarnwick
xdotool key ctrl+shift+o
sleep 1
snap view-options
xdotool key Escape
sleep 0.3
stop_tarnwick

# Text beside HEX units.
options "TextBesideUnits=1"
start_tarnwick 5
snap view-text-beside
# Find: the bar under the view, every match in sight marked.
focus_tarnwick
xdotool key ctrl+f
sleep 0.5
xdotool type "temp"
sleep 0.5
xdotool key F3
sleep 0.5
snap view-find
xdotool key Escape
sleep 0.3
# A drag over three lines, then the context menu.
xdotool mousemove 120 200 mousedown 1 mousemove 300 240 mouseup 1
sleep 0.3
xdotool click 3
sleep 0.5
snap view-selection
xdotool key Escape
stop_tarnwick
