#!/usr/bin/env bash
# Builds the Debian package from a build folder, runs the packaged tool on a
# real X server (Xvfb) as a user's desktop would start it, and checks that
# every Qt plugin it loads at run time comes from a package the .deb depends
# on: libraries found by the linker are declared by shlibdeps, plugins are
# not, and a plugin missing on a bare desktop means no window at all.
# The monitor's package (tuvik-monitor) is checked to depend on no Qt GUI
# library or plugin and to hold the program, its unit and its configuration.
# Usage: scripts/check-package.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/release}"
work="$(mktemp -d /tmp/tuvik-package.XXXXXX)"
tool_pid=""
cleanup() {
  [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "check-package.sh: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$(find "$work/out" -maxdepth 1 -name 'tuvik_*.deb' | head -n 1)"
[ -n "$deb" ] || fail "no package was built"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "check-package.sh: $(basename "$deb") depends on: $depends"
# Package names only: versions, alternatives and architecture qualifiers off.
declared="$(printf '%s\n' "$depends" | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/:.*//' -e 's/ //g' | sort -u)"

dpkg-deb -x "$deb" "$work/root"
tool="$work/root/usr/bin/tuvik"
[ -x "$tool" ] || fail "the package holds no usr/bin/tuvik"

# The packaged tool on a real X server with the plugins a desktop session
# gets. It keeps running for a few seconds; its mapped plugins are read from
# /proc while it shows its window.
plugindir="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb \
  TUVIK_RUN_SECONDS=4 TUVIK_STARTUP_TIMING=1 \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$tool" >"$work/tool.out" 2>&1 &
runner=$!
for _ in $(seq 100); do
  tool_pid="$(pgrep -f "^$tool" | head -n 1 || true)"
  [ -n "$tool_pid" ] && grep -q "painted" "$work/tool.out" 2>/dev/null && break
  sleep 0.1
done
[ -n "$tool_pid" ] || { cat "$work/tool.out" >&2; fail "the packaged tool did not start"; }
grep -q "painted" "$work/tool.out" || { cat "$work/tool.out" >&2; fail "the packaged tool showed no window"; }
awk -v dir="$plugindir/" 'index($6, dir) == 1 { print $6 }' "/proc/$tool_pid/maps" | sort -u >"$work/plugins.txt"
wait "$runner" || true
tool_pid=""
[ -s "$work/plugins.txt" ] || fail "no Qt plugin was seen in the running tool"

missing=0
while read -r plugin; do
  pkg="$(dpkg -S "$plugin" 2>/dev/null | head -n 1 | cut -d: -f1)"
  if [ -z "$pkg" ]; then
    echo "check-package.sh: $plugin belongs to no package" >&2
    missing=1
  elif ! grep -qx "$pkg" <<<"$declared"; then
    echo "check-package.sh: $plugin comes from $pkg, which the package does not depend on" >&2
    missing=1
  else
    echo "check-package.sh: ${plugin#"$plugindir"/} <- $pkg (declared)"
  fi
done <"$work/plugins.txt"
[ "$missing" -eq 0 ] || fail "run-time plugins not covered by the package's dependencies"
echo "check-package.sh: every run-time plugin the tool loaded comes from a package it depends on"

# The monitor's package: the service without the Qt GUI libraries and plugins.
mdeb="$(find "$work/out" -maxdepth 1 -name 'tuvik-monitor_*.deb' | head -n 1)"
[ -n "$mdeb" ] || fail "no tuvik-monitor package was built"
mdepends="$(dpkg-deb -f "$mdeb" Depends)"
echo "check-package.sh: $(basename "$mdeb") depends on: $mdepends"
if grep -Eq 'libqt6gui|libqt6widgets|qt6-qpa-plugins|libqt6opengl' <<<"$mdepends"; then
  fail "the monitor's package depends on a Qt GUI library or plugin"
fi
mfiles="$(dpkg-deb -c "$mdeb")"
for f in ./usr/bin/tuvik-monitor ./usr/lib/systemd/system/tuvik-monitor.service ./etc/tuvik/monitor.conf; do
  grep -q " $f\$" <<<"$mfiles" || fail "the monitor's package holds no $f"
done
dpkg-deb -I "$mdeb" postinst | grep -q 'adduser --system --group' ||
  fail "the monitor's package makes no user tuvik"
echo "check-package.sh: the monitor's package holds the program, its unit and configuration, and needs no Qt GUI"
