#!/usr/bin/env bash
# Refreshes the pictures of the operator's guide in docs/ (or in the folder
# given): builds tuvik-screenshots into build/debug and runs it offscreen
# against the in-process simulator. Takes about half a minute.
#   scripts/screenshots.sh [folder]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/docs}"
dir="$here/build/debug"
"$here/scripts/install-deps.sh"
if [ ! -f "$dir/build.ninja" ]; then
  "$here/scripts/build.sh" debug >/dev/null
fi
cmake --build "$dir" --target tuvik-screenshots >&2
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$dir/tools/screenshots/tuvik-screenshots" "$out"
