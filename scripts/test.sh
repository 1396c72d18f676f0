#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite under CTest.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$(bash "$here/scripts/build.sh" debug | tail -n 1)"
export QT_QPA_PLATFORM=offscreen
cd "$dir"
# Most tests wait on the device's timing rather than compute: two per core.
ctest --output-on-failure --parallel "$(( $(nproc) * 2 ))" --timeout 300
# The installed copy, run from a read-only program folder.
bash "$here/scripts/check-install.sh" "$dir"
# The Debian package: its dependencies cover what the tool loads at run time.
bash "$here/scripts/check-package.sh" "$dir"
