#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh [release|debug] [extra cmake args...]
# TUVIK_BUILD_TARGETS, when set, names the targets to build (space-separated);
# otherwise everything is built.
# The build's progress goes to standard error, so that callers which take the
# folder from standard output still show the build working; the last line on
# standard output is the build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-release}"; shift || true
case "$mode" in
  release) dir="$here/build/release"; type=Release ;;
  debug)   dir="$here/build/debug";   type=RelWithDebInfo ;;
  *) echo "usage: $0 [release|debug] [cmake args...]" >&2; exit 2 ;;
esac
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Copies of the tree in other folders share the cache.
  export CCACHE_BASEDIR="$here"
  # The precompiled headers are taken with -include; ccache caches such
  # compiles only when told that the header's macros and time stamps may
  # be trusted.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flags=()
if [ "$type" = RelWithDebInfo ]; then
  # The test build: line tables are enough for a backtrace, and -O1 compiles
  # in two thirds of the time of -O2 with the same behaviour.
  flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
fi
echo "Configuring $dir ($type)" >&2
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "${flags[@]}" "$@" >/dev/null
# Autogen misses headers that appear after the first configure; make it rescan.
find "$dir" -path "*_autogen/timestamp" -delete 2>/dev/null || true
targets=()
for t in ${TUVIK_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
echo "Building $dir${TUVIK_BUILD_TARGETS:+ ($TUVIK_BUILD_TARGETS)}" >&2
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}" >&2
echo "$dir"
