#!/usr/bin/env bash
# Installs what is missing, builds in release mode, starts the bundled device
# simulator (pseudo-terminal and TCP relay on 127.0.0.1:10001) and the tool.
# The simulator is stopped when the tool ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$(bash "$here/scripts/build.sh" release | tail -n 1)"

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM

if [ -x "$dir/sim/tuvik-sim" ]; then
  pty="${TUVIK_SIM_PTY:-/tmp/tuvik-sim-pty}"
  "$dir/sim/tuvik-sim" --pty "$pty" --tcp "${TUVIK_SIM_PORT:-10001}" &
  sim_pid=$!
  echo "Simulator: serial port $pty, TCP relay 127.0.0.1:${TUVIK_SIM_PORT:-10001}"
fi
"$dir/app/tuvik" "$@"
