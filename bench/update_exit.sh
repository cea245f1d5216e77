#!/usr/bin/env bash
# How long the real program takes to exit on SIGTERM while its version check
# is stuck: "answer" waits on a page that accepted the request and never
# answers; "lookup" waits on a name lookup that never ends (a preloaded
# getaddrinfo, see stalled_lookup.c).
# Usage: bench/update_exit.sh BUILD_DIR [RUNS] [answer|lookup]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
runs="${2:-10}"
mode="${3:-answer}"
work="$(mktemp -d)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

printf '%s' '{"/ver/checkver.php": [{"mode": "hang"}]}' >"$work/routes.json"
python3 "$repo/tests/update/loopback_server.py" "$work/routes.json" "$work/requests.log" \
  >"$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
# A configuration file, so that no first-start box holds the start-up.
head -c 2192 /dev/zero >"$work/Tarnwick.cfg"

preload=""
url="http://127.0.0.1:$(head -n1 "$work/port")/ver/checkver.php?app=zerik"
if [ "$mode" = lookup ]; then
  cc -shared -fPIC -O2 -o "$work/stalled_lookup.so" "$repo/bench/stalled_lookup.c" -ldl
  preload="$work/stalled_lookup.so"
  url="http://stalled.invalid/ver/checkver.php?app=zerik"
fi

for run in $(seq "$runs"); do
  : >"$work/requests.log"
  rm -f "$work/lookup.mark"
  (cd "$work" && TARNWICK_UPDATE_URL="$url" LD_PRELOAD="$preload" \
    STALLED_LOOKUP_MARK="$work/lookup.mark" \
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen TARNWICK_COM1=/nonexistent \
    no_proxy='*' exec "$build/src/app/tarnwick" 2>/dev/null) &
  pid=$!
  if [ "$mode" = lookup ]; then
    for _ in $(seq 200); do [ -e "$work/lookup.mark" ] && break; sleep 0.05; done
    sleep 0.2
  else
    for _ in $(seq 200); do [ -s "$work/requests.log" ] && break; sleep 0.05; done
    sleep 0.2
  fi
  start=$(date +%s%N)
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  end=$(date +%s%N)
  echo "run $run ($mode): exit status $status after $(((end - start) / 1000000)) ms"
done
