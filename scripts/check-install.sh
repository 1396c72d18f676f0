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
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  [ -n "$mounted" ] && umount "$prefix" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "check-install.sh: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tuvik bin/tuvik-sim share/tuvik/PARAMS.h \
         share/tuvik/Settings/PID_def.PID share/tuvik/Settings/PICZA303_def.PID \
         share/tuvik/Settings/PICZA304_def.PID share/tuvik/Settings/TICZA116_def.PID \
         share/applications/tuvik.desktop share/icons/hicolor/scalable/apps/tuvik.svg; do
  [ -s "$prefix/$f" ] || fail "$f was not installed"
done

if mount --bind "$prefix" "$prefix" 2>/dev/null; then
  mounted=1
  mount -o remount,bind,ro "$prefix" 2>/dev/null || fail "could not make the prefix read-only"
  touch "$prefix/bin/probe" 2>/dev/null && fail "the prefix is still writable"
  ro="read-only"
else
  chmod -R a-w "$prefix"
  ro="write-protected (no bind mount here; root could still write)"
fi

"$prefix/bin/tuvik-sim" --no-tcp --pty "$work/pty" --speed 50 >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -q "ready" "$work/sim.out" 2>/dev/null && break
  sleep 0.1
done
grep -q "ready" "$work/sim.out" || fail "the installed simulator did not start"

XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
  TUVIK_AUTOCONNECT="serial:$work/pty:50" TUVIK_RUN_SECONDS=6 \
  TUVIK_STATS_FILE="$work/stats.txt" \
  "$prefix/bin/tuvik" >"$work/tool.out" 2>&1 || { cat "$work/tool.out" >&2; fail "the installed tool failed"; }

grep -q "^replies [1-9]" "$work/stats.txt" || fail "no live values reached the installed tool"
messages="$(awk '/^messages/ {print $2}' "$work/stats.txt")"
[ "${messages:-0}" -gt 0 ] || fail "no simulator event was logged in 6 s"
daily="$(find "$work/data" -name 'Flamorifier_*.csv' | head -n 1)"
[ -n "$daily" ] || fail "no daily message file under the user's data folder"
lines="$(($(wc -l <"$daily") - 1))"
[ "$lines" -eq "$messages" ] || fail "$messages messages logged but $lines lines in $daily"
[ -z "$(find "$prefix" -newer "$prefix/bin/tuvik" -type f)" ] || fail "the tool wrote into its program folder"
echo "check-install.sh: installed into a $ro prefix; the tool ran from it, took live values and logged $messages events to ${daily#"$work"/}"
