#!/usr/bin/env bash
# Builds every libFuzzer target in tests/fuzz with clang into build/fuzz and runs
# each one for the given number of seconds (default 60):
#   scripts/fuzz.sh [seconds]
# Each target keeps its corpus in build/fuzz/corpus/<target>; a crash, leak or
# sanitizer report is saved under build/fuzz/artifacts/<target>/ and makes the
# script exit non-zero.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
secs="${1:-60}"
dir="$here/build/fuzz"

# The libraries under test get coverage instrumentation and the sanitizers;
# the fuzz targets add the fuzzer's own main.
CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTUVIK_BUILD_FUZZ=ON -DTUVIK_BUILD_BENCH=OFF \
  -DSANITIZE=address,undefined \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$dir" --target fuzz_all

export QT_QPA_PLATFORM=offscreen
status=0
found=0
for exe in "$dir"/tests/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  found=$((found + 1))
  name="$(basename "$exe")"
  corpus="$dir/corpus/$name"
  artifacts="$dir/artifacts/$name"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "$here/tests/fuzz/seeds/$name" ] && seeds+=("$here/tests/fuzz/seeds/$name")
  echo "== $name: ${secs} s"
  if ! "$exe" -max_total_time="$secs" -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}"; then
    echo "!! $name found a problem; the input is in $artifacts" >&2
    status=1
  fi
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets were built" >&2
  exit 1
fi
exit "$status"
