#!/usr/bin/env bash
# Runs Tarnwick under Xvfb on the device simulator and saves PNGs of what it
# shows: the first start (no configuration file: the warning, then Port
# Settings), TEXT, HEX and FLOAT views, Port Settings from the menu with its
# port list open, the About box, the Screen Settings dialog with its font
# chooser, the view after a change of format, font and colours made there,
# the Send data window, a log failure in the status bar, the modem-line panes
# of the status bar with the Line menu, the update question, the send line
# with its history, the macro panel with a sequence running, and View >
# Options with the timestamp gutter and packets split by pauses, and the plot
# window on float frames and on text lines.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
out="${2:-$build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

bash "$repo/scripts/install-deps.sh" --gui-tools
cmake --build "$build" --target tarnwick tarnwick-sim

if command -v import >/dev/null; then
  snap() { import -window root "$out/$1.png"; echo "saved $out/$1.png"; }
elif command -v xwd >/dev/null && command -v convert >/dev/null; then
  snap() { xwd -root -silent | convert xwd:- "$out/$1.png"; echo "saved $out/$1.png"; }
else
  echo "screenshot.sh: needs ImageMagick (import) or xwd + convert" >&2
  exit 1
fi

work="$(mktemp -d)"
xvfb_pid="" sim_pid="" app_pid="" server_pid=""
cleanup() {
  for pid in $app_pid $sim_pid $server_pid $xvfb_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cp "$repo/resources/help.html" "$work/"

# A fresh simulator for every run: Tarnwick then reads its stream from the
# first byte, and 4-byte units line up with the frames' fields.
start_tarnwick() {
  rm -f "$work/sim.out"
  "$build/tools/tarnwick-sim" --rate 300 >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  (cd "$work" && TARNWICK_COM1="$(head -n1 "$work/sim.out")" exec "$build/src/app/tarnwick") &
  app_pid=$!
  sleep "${1:-3}"
}
stop_tarnwick() {
  kill -TERM "$app_pid"
  wait "$app_pid" || { echo "screenshot.sh: tarnwick exited with $?" >&2; exit 1; }
  app_pid=""
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=""
}
# Without a window manager nothing gives the window the keyboard by itself.
focus_tarnwick() {
  xdotool search --sync --name ' - Tarnwick$' windowfocus --sync >/dev/null 2>&1 || true
}
# Gives the keyboard to the window whose title is $1 (a closed dialog does
# not hand it back by itself without a window manager).
focus_window() {
  xdotool search --sync --name "^$1\$" windowfocus --sync >/dev/null 2>&1 || true
}
# Writes a little-endian int32 into the configuration record at an offset.
set_field() {
  local offset=$1 value=$2
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $(((value >> 8) & 255)) \
    $(((value >> 16) & 255)) $(((value >> 24) & 255)))" |
    dd of="$work/Tarnwick.cfg" bs=1 seek="$offset" conv=notrunc status=none
}

# First start: no configuration file, the warning box comes first, then the
# port settings on the defaults.
start_tarnwick 2
snap first-start
xdotool key Return
sleep 1.5
snap port-settings-first-start
xdotool key Return
sleep 3
snap text
stop_tarnwick

# HEX, 16 units a line, 20 rows.
set_field 116 16; set_field 120 20; set_field 128 0; set_field 132 1
start_tarnwick 4
snap hex
focus_tarnwick
xdotool key alt+h Return
sleep 1
snap about
xdotool key Return
sleep 0.5
focus_tarnwick
xdotool key alt+m p
sleep 1
snap port-settings
xdotool key alt+p alt+Down
sleep 1
snap port-list
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.5
stop_tarnwick

# The update question: a version-check page on loopback names a newer
# version; the profile goes to the work directory.
printf '%s' '{"/ver/checkver.php": [{"body": "LastVer;1.3.0.0;1;{base}/new;"}]}' >"$work/routes.json"
python3 "$repo/tests/update/loopback_server.py" "$work/routes.json" "$work/requests.log" \
  >"$work/server.out" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/server.out" ] && break; sleep 0.1; done
export TARNWICK_UPDATE_URL="http://127.0.0.1:$(head -n1 "$work/server.out")/ver/checkver.php?app=zerik"
export XDG_CONFIG_HOME="$work/config" no_proxy="127.0.0.1"
start_tarnwick 4
snap update-question
stop_tarnwick
unset TARNWICK_UPDATE_URL XDG_CONFIG_HOME

# FLOAT: 4-byte units, 4 to a line, the frames' fields line up.
set_field 116 4; set_field 128 3; set_field 132 4
start_tarnwick 4
snap float
stop_tarnwick

# Screen Settings from the Main menu: the dialog, its font chooser (size 16,
# a yellow text colour), a dark background, then DEC in 2-byte units.
set_field 116 8; set_field 128 0; set_field 132 1
start_tarnwick 3
focus_tarnwick
xdotool key alt+m s Return  # two entries start with S: the first is chosen
sleep 1
snap screen-settings
xdotool key Tab Tab space
sleep 1
snap font-chooser
xdotool key alt+s ctrl+a
xdotool type 16
xdotool key alt+c
sleep 1
xdotool key alt+h ctrl+a
xdotool type '#f0d060'
xdotool key Return
sleep 0.5
focus_window Font
xdotool key Return
sleep 0.5
focus_window 'Screen Settings'
xdotool key Tab space
sleep 1
xdotool key alt+h ctrl+a
xdotool type '#1c2833'
xdotool key Return
sleep 0.5
focus_window 'Screen Settings'
xdotool key Tab Tab 2 Tab d
sleep 0.5
snap screen-settings-changed
xdotool key Return
sleep 3
snap view-after-settings
stop_tarnwick

# The status bar's line panes: grey lamps and toggles and "Errors: n/a", as
# the simulator is a pseudo-terminal without modem lines; a close-up of the
# bar, then the Line menu.
start_tarnwick 3
snap status-bar
window="$(xdotool search --name ' - Tarnwick$' | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$window")"
convert "$out/status-bar.png" -crop "${WIDTH}x36+${X}+$((Y + HEIGHT - 36))" +repage \
  "$out/status-bar-close-up.png"
echo "saved $out/status-bar-close-up.png"
focus_tarnwick
xdotool key alt+l
sleep 1
snap line-menu
xdotool key Escape
stop_tarnwick

# The raw log's folder is missing: the status bar names the file and the reason.
set_field 40 1
printf '%s\0' "$work/missing/raw.log" |
  dd of="$work/Tarnwick.cfg" bs=1 seek=1168 conv=notrunc status=none
start_tarnwick 4
snap log-failure
stop_tarnwick

# The Send data window beside the main window, sending a two-line text every
# 500 ms to the simulator, which echoes it: the TEXT view shows the echoes
# among its own lines, the header counts the bytes written.
set_field 40 0; set_field 116 0; set_field 128 0; set_field 132 0
start_tarnwick 3
xdotool search --name ' - Tarnwick$' windowsize 580 520 >/dev/null 2>&1 || true
focus_tarnwick
xdotool key alt+m Down Down Return
xdotool search --sync --name '^Send data$' windowfocus --sync >/dev/null 2>&1 || true
sleep 0.5
xdotool key Tab
xdotool type --delay 20 'Hello, simulator'
xdotool key Return
xdotool type --delay 20 'second line \41\42\43'
xdotool key Tab Tab space Tab
xdotool type --delay 20 '500'
xdotool key Return
sleep 4
snap send
stop_tarnwick

# Talking to the device: the send line with two commands sent and the third
# recalled with Up, its History list, then the macro panel with a sequence
# running. The simulator sends text lines slowly and echoes what it gets, so
# the wait for "OK" after "AT" runs until its timeout.
mkdir -p "$work/config/Norvast"
cat >"$work/config/Norvast/Tarnwick.conf" <<'CONF'
[Options]
MacrosShown=1
Macros="tarnwick-macros = 1\npage = Modem\nmacro = Reset\nkey = Shift+F2\nsend ASCII CR = ATZ\nmacro = Signal\nrepeat = 2 s\nsend ASCII CR = AT+CSQ\nmacro = Info\nsend ASCII CR = ATI\nmacro = Check\nkey = Shift+F5\nsend ASCII CR = AT\nwait-for 30 s = OK\nsend ASCII CR = ATI\npage = Boot\nmacro = Stop autoboot\nsend = \" \"\n"
CONF
set_field 40 0; set_field 116 0; set_field 128 0; set_field 132 0
rm -f "$work/sim.out"  # the last run's path must not be taken for this one's
"$build/tools/tarnwick-sim" --messages text --rate 60 >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
(cd "$work" && XDG_CONFIG_HOME="$work/config" TARNWICK_COM1="$(head -n1 "$work/sim.out")" \
  exec "$build/src/app/tarnwick") &
app_pid=$!
sleep 3
xdotool search --name ' - Tarnwick$' windowsize 760 600 >/dev/null 2>&1 || true
focus_tarnwick
xdotool key Tab  # from the view to the send line
xdotool type --delay 20 'AT+CSQ'
xdotool key Return
sleep 0.5
xdotool type --delay 20 'ATI'
xdotool key Return
sleep 0.5
xdotool key Up
sleep 1
snap send-line
xdotool key ctrl+a BackSpace  # the History list shows what the field holds, so all of it
xdotool key Tab Tab  # to the History button
xdotool key space
sleep 1
snap send-line-history
xdotool key Escape
sleep 0.3
xdotool key shift+F5
sleep 2
snap sequence
stop_tarnwick

# View > Options: a device that sends a packet of 6 to 10 bytes every 250 ms,
# shown in HEX with 16 units a line; a pause of 50 ms starts a new line and
# the gutter shows when each packet came. The options go to a private profile.
mkdir -p "$work/config/Norvast"
printf '[Options]\nShowTimestamps=1\nTimestampsInTextLog=1\nPauseLineBreakMs=50\n' \
  >"$work/config/Norvast/Tarnwick.conf"
set_field 116 16; set_field 120 20; set_field 128 0; set_field 132 1
python3 -u - >"$work/packets.out" <<'PY' &
import os, pty, time, tty
master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave))
seq = 0
while True:
    os.write(master, bytes([0xA5, 0x5A, seq & 0xFF]) + bytes(range(0x10, 0x13 + seq % 5)))
    seq += 1
    time.sleep(0.25)
PY
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/packets.out" ] && break; sleep 0.1; done
(cd "$work" && XDG_CONFIG_HOME="$work/config" TARNWICK_COM1="$(head -n1 "$work/packets.out")" \
  exec "$build/src/app/tarnwick") &
app_pid=$!
sleep 4
snap timestamps
focus_tarnwick
xdotool key alt+v o
sleep 1
snap options
xdotool key Escape
sleep 0.5
stop_tarnwick

# View > Plot: the simulator's float frames in FLOAT, four units a line (the
# x axis in sample numbers), then its text lines in TEXT with timestamps on
# (the x axis in seconds). The plot window keeps its place in the profile.
plot_run() {
  local messages=$1 name=$2
  "$build/tools/tarnwick-sim" --messages "$messages" --rate 2000 >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  (cd "$work" && XDG_CONFIG_HOME="$work/config" TARNWICK_COM1="$(head -n1 "$work/sim.out")" \
    exec "$build/src/app/tarnwick") &
  app_pid=$!
  sleep 3
  focus_tarnwick
  xdotool key alt+v p
  sleep 6
  snap "$name"
  stop_tarnwick
}
printf '[Options]\nPlotGeometry=@ByteArray()\n' >"$work/config/Norvast/Tarnwick.conf"
set_field 116 4; set_field 120 20; set_field 128 3; set_field 132 4
plot_run frames plot
printf '[Options]\nShowTimestamps=1\n' >"$work/config/Norvast/Tarnwick.conf"
set_field 116 0; set_field 128 0; set_field 132 0
plot_run text plot-text-lines
