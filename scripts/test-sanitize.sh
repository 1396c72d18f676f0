#!/usr/bin/env bash
# Builds the program and every test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer into build/asan and runs the whole suite there.
# Any sanitizer report ends the test it happens in, and so fails the run.
#   scripts/test-sanitize.sh [extra ctest arguments, e.g. -R Burner]
# Leak checking is off: Qt's fonts and plugins keep allocations for the
# life of the process, and those are reported as leaks at exit.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$here/build/asan"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSANITIZE=address,undefined -DTUVIK_BUILD_BENCH=OFF >/dev/null
# New headers are not always picked up by AUTOMOC in an existing tree.
find "$dir" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$dir"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"
