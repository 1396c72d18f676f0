#!/usr/bin/env bash
# Installs what is missing, builds in release mode, starts the bundled device
# simulator (pseudo-terminal and TCP relay on 127.0.0.1:10001) and the tool.
# The simulator is stopped when the tool ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
# Only what this script starts: the tool and the simulator (the test suites
# and benchmarks are built by scripts/test.sh and scripts/bench.sh).
dir="$(TUVIK_BUILD_TARGETS="tuvik tuvik-sim" bash "$here/scripts/build.sh" release | tail -n 1)"

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM

pty="${TUVIK_SIM_PTY:-/tmp/tuvik-sim-pty}"
port="${TUVIK_SIM_PORT:-10001}"
"$dir/sim/tuvik-sim" --pty "$pty" --tcp "$port" &
sim_pid=$!
echo "Simulator: serial port $pty, TCP relay 127.0.0.1:$port"

# The demonstration keeps its own settings store, so the operator's stored
# port is left alone, and starts with the simulator's port in the port box:
# one click on Connect shows live data.
demo="$dir/demo-config"
mkdir -p "$demo/VUD_OV"
printf '[Settings]\nComPort=%s\nComSpeed=57600\nRefreshRate=333\n' "$pty" > "$demo/VUD_OV/VUD_OV.conf"
for _ in $(seq 50); do [ -e "$pty" ] && break; sleep 0.1; done
# The tool ships no parameter map of its own; the demonstration reads the
# simulated burner's PARAMS.h from a data folder of its own.
demo_data="$dir/demo-data"
mkdir -p "$demo_data/tuvik"
cp "$dir/sim/PARAMS.h" "$demo_data/tuvik/PARAMS.h"
XDG_CONFIG_HOME="$demo" XDG_DATA_HOME="$demo_data" "$dir/app/tuvik" "$@"
