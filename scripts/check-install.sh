#!/usr/bin/env bash
# Installs a build into a scratch prefix and runs the installed tool from it
# the way an installed copy runs: the program folder read-only (a read-only
# bind mount when the machine allows one), PARAMS.h and the default loop
# settings taken from the installed data folder, the daily files written to
# the user's application data folder. The installed simulator is the device.
#   scripts/check-install.sh [build folder, default build/debug]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/debug}"
work="$(mktemp -d /tmp/tuvik-install.XXXXXX)"
prefix="$work/prefix"
mounted=""
guard=()
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  [ -n "$mounted" ] && umount "$prefix" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "check-install.sh: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tuvik bin/tuvik-sim bin/tuvik-recording share/tuvik-sim/PARAMS.h \
         share/tuvik/Settings/PID_def.PID share/tuvik/Settings/PICZA303_def.PID \
         share/tuvik/Settings/PICZA304_def.PID share/tuvik/Settings/TICZA116_def.PID \
         share/applications/tuvik.desktop share/icons/hicolor/scalable/apps/tuvik.svg; do
  [ -s "$prefix/$f" ] || fail "$f was not installed"
done
# The simulator's memory map is the simulator's: the tool must not find it
# and read or write a real burner by it.
[ ! -e "$prefix/share/tuvik/PARAMS.h" ] || fail "the simulator's PARAMS.h was installed for the tool"

if mount --bind "$prefix" "$prefix" 2>/dev/null; then
  mounted=1
  mount -o remount,bind,ro "$prefix" 2>/dev/null || fail "could not make the prefix read-only"
  touch "$prefix/bin/probe" 2>/dev/null && fail "the prefix is still writable"
  ro="read-only"
else
  # No bind mount here: take the write bits away instead. Root would write
  # through them, so root runs the programs without the capabilities that
  # override file permissions.
  chmod -R a-w "$prefix"
  ro="write-protected"
  if [ "$(id -u)" -eq 0 ]; then
    caps="-dac_override,-dac_read_search,-fowner"
    guard=(setpriv --inh-caps="$caps" --bounding-set="$caps")
    "${guard[@]}" touch "$prefix/bin/probe" 2>/dev/null && fail "the prefix is still writable"
    ro="write-protected (root without the capability to override file permissions)"
  fi
fi

# What the program folder holds before anything runs from it. Installed files
# keep the build's timestamps, in whatever order the build made them, so the
# folder is compared with this listing rather than with any one file's age.
listing() { find "$prefix" -printf '%P %y %s %T@\n' | LC_ALL=C sort; }
listing >"$work/before.txt"

"${guard[@]}" "$prefix/bin/tuvik-sim" --no-tcp --pty "$work/pty" --speed 50 >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -q "ready" "$work/sim.out" 2>/dev/null && break
  sleep 0.1
done
grep -q "ready" "$work/sim.out" || fail "the installed simulator did not start"

# The operator puts the burner firmware's PARAMS.h into the user's data
# folder, as the tool asks when it finds none; here the simulator's.
mkdir -p "$work/data/VUD_OV/VUD_OV"
cp "$prefix/share/tuvik-sim/PARAMS.h" "$work/data/VUD_OV/VUD_OV/PARAMS.h"
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
  TUVIK_AUTOCONNECT="serial:$work/pty:50" TUVIK_RUN_SECONDS=6 \
  TUVIK_STATS_FILE="$work/stats.txt" \
  "${guard[@]}" "$prefix/bin/tuvik" >"$work/tool.out" 2>&1 || { cat "$work/tool.out" >&2; fail "the installed tool failed"; }

grep -q "^replies [1-9]" "$work/stats.txt" || fail "no live values reached the installed tool"
messages="$(awk '/^messages/ {print $2}' "$work/stats.txt")"
[ "${messages:-0}" -gt 0 ] || fail "no simulator event was logged in 6 s"
daily="$(find "$work/data" -name 'Flamorifier_*.csv' 2>/dev/null | head -n 1 || true)"
[ -n "$daily" ] || fail "no daily message file under the user's data folder"
lines="$(($(wc -l <"$daily") - 1))"
[ "$lines" -eq "$messages" ] || fail "$messages messages logged but $lines lines in $daily"
# The connection was recorded in the user's data folder, and the installed
# dump tool reads the recording to its clean end.
recording="$(find "$work/data" -path '*/recordings/*.pcapng.zst' 2>/dev/null | head -n 1 || true)"
[ -n "$recording" ] || fail "no session recording under the user's data folder"
"${guard[@]}" "$prefix/bin/tuvik-recording" "$recording" >"$work/dump.txt" ||
  fail "tuvik-recording could not read $recording to its end"
grep -q " rx 0x92 .* live values: " "$work/dump.txt" || fail "no live values in the recording's dump"
listing >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/changed.txt" ||
  { cat "$work/changed.txt" >&2; fail "the tool or the simulator wrote into the program folder"; }
echo "check-install.sh: installed into a $ro prefix; the tool ran from it, took live values and logged $messages events to ${daily#"$work"/}"
