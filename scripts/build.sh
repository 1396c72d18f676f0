#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh [release|debug] [extra cmake args...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-release}"; shift || true
case "$mode" in
  release) dir="$here/build/release"; type=Release ;;
  debug)   dir="$here/build/debug";   type=RelWithDebInfo ;;
  *) echo "usage: $0 [release|debug] [cmake args...]" >&2; exit 2 ;;
esac
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
# Autogen misses headers that appear after the first configure; make it rescan.
find "$dir" -path "*_autogen/timestamp" -delete 2>/dev/null || true
cmake --build "$dir" --parallel "$(nproc)"
echo "$dir"
