#!/usr/bin/env bash
# How long the real program takes to exit on SIGTERM while its version check
# waits on a page that accepted the request and never answers.
# Usage: bench/update_exit.sh BUILD_DIR [RUNS]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
runs="${2:-10}"
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

for run in $(seq "$runs"); do
  : >"$work/requests.log"
  (cd "$work" && TARNWICK_UPDATE_URL="http://127.0.0.1:$(head -n1 "$work/port")/ver/checkver.php?app=zerik" \
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen TARNWICK_COM1=/nonexistent \
    no_proxy=127.0.0.1 exec "$build/src/app/tarnwick" 2>/dev/null) &
  pid=$!
  for _ in $(seq 200); do [ -s "$work/requests.log" ] && break; sleep 0.05; done
  sleep 0.2
  start=$(date +%s%N)
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  end=$(date +%s%N)
  echo "run $run: exit status $status after $(((end - start) / 1000000)) ms"
done
