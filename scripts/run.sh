#!/usr/bin/env bash
# Starts Tarnwick in run/ with COM1 mapped to the device simulator, or to the
# device given as PORT. Usage: scripts/run.sh BUILD_DIR [PORT]
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
port="${2:-}"
case "$build" in /*) ;; *) build="$repo/$build" ;; esac

cmake --build "$build" --target tarnwick tarnwick-sim

rundir="$repo/run"
mkdir -p "$rundir"
cp "$repo/resources/help.html" "$rundir/help.html"

sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ -z "$port" ]; then
  "$build/tools/tarnwick-sim" --link "$rundir/sim-port" >"$rundir/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -s "$rundir/sim.out" ] && break
    sleep 0.1
  done
  port="$(head -n1 "$rundir/sim.out")"
  [ -n "$port" ] || { echo "run.sh: the simulator did not start" >&2; exit 1; }
  echo "COM1 -> $port (simulator, link $rundir/sim-port)"
else
  echo "COM1 -> $port"
fi

cd "$rundir"
# The exit status is Tarnwick's; the trap stops the simulator either way.
TARNWICK_COM1="$port" "$build/src/app/tarnwick"
