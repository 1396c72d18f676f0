#!/usr/bin/env bash
# Seeds the faults listed in scripts/mutants.txt into the program one at a
# time, rebuilds, and runs the whole CTest suite against each: a fault that
# makes a test fail is killed, one that passes every test survived.
#
#   scripts/mutate.sh [--list] [--only PATTERN] [--skip-baseline] [build-dir]
#
#   build-dir        default build/debug (configured and built with
#                    scripts/build.sh debug when it does not exist yet)
#   --list           print the mutants and whether each one still applies
#   --only PATTERN   only the mutants whose file or description matches the
#                    extended regular expression PATTERN (case-insensitive)
#   --skip-baseline  do not run the suite on the unchanged tree first
#
# Each mutant is one line of scripts/mutants.txt with four fields separated
# by tabs: file, exact text, replacement, description. {NL} in the text or
# the replacement stands for a line break. Blank lines and lines starting
# with # are skipped. The text must occur exactly once in the file, or the
# mutant is reported STALE and skipped.
#
# The mutated file is restored after every mutant and on any exit (Ctrl-C
# included); a run cut short by SIGKILL is repaired at the start of the
# next run from the copy kept in the build folder. Every build and test run
# is bounded by a timeout (MUTATE_BUILD_TIMEOUT, MUTATE_TEST_TIMEOUT,
# seconds). Per-mutant build and test output goes to <build-dir>/mutate-logs.
set -uo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
list_file="$here/scripts/mutants.txt"
build_timeout="${MUTATE_BUILD_TIMEOUT:-1800}"
test_timeout="${MUTATE_TEST_TIMEOUT:-2400}"

mode=run
only=""
baseline=1
dir=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --list) mode=list ;;
    --only) only="${2:?--only needs a pattern}"; shift ;;
    --only=*) only="${1#--only=}" ;;
    --skip-baseline) baseline=0 ;;
    -h|--help) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) dir="$1" ;;
  esac
  shift
done
default_dir="$here/build/debug"
dir="${dir:-$default_dir}"
[[ "$dir" = /* ]] || dir="$PWD/$dir"

# ---- the list ----------------------------------------------------------------

files=() finds=() repls=() descs=()
lineno=0
while IFS= read -r line || [[ -n "$line" ]]; do
  lineno=$((lineno + 1))
  [[ -z "${line//[[:space:]]/}" || "$line" == \#* ]] && continue
  # Split by hand so that an empty replacement keeps its place.
  rest="$line"
  file="${rest%%$'\t'*}"; rest="${rest#*$'\t'}"
  find="${rest%%$'\t'*}"; rest="${rest#*$'\t'}"
  repl="${rest%%$'\t'*}"; rest="${rest#*$'\t'}"
  desc="$rest"
  if [[ "$line" != *$'\t'*$'\t'*$'\t'* || -z "$file" || -z "$find" || -z "$desc" ]]; then
    echo "$list_file:$lineno: needs file, text, replacement and description separated by tabs" >&2
    exit 2
  fi
  if [[ -n "$only" ]] && ! grep -qiE -- "$only" <<<"$file $desc"; then
    continue
  fi
  files+=("$file") finds+=("$find") repls+=("$repl") descs+=("$desc")
done <"$list_file"
total=${#files[@]}
if [[ $total -eq 0 ]]; then
  echo "no mutants${only:+ match '$only'}" >&2
  exit 2
fi

# Applies mutant i to the tree (mode apply) or only counts its text (mode
# count). Prints the number of occurrences; exit status 0 when applied.
edit() {
  python3 - "$1" "$here/${files[$2]}" "${finds[$2]}" "${repls[$2]}" <<'EOF'
import sys
mode, path, find, repl = sys.argv[1:5]
find = find.replace("{NL}", "\n")
repl = repl.replace("{NL}", "\n")
try:
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
except OSError:
    print(0)
    sys.exit(1)
n = text.count(find)
print(n)
if mode != "apply" or n != 1:
    sys.exit(1)
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write(text.replace(find, repl, 1))
EOF
}

if [[ $mode == list ]]; then
  for ((i = 0; i < total; i++)); do
    n=$(edit count "$i")
    state=ok
    [[ "$n" == 1 ]] || state="STALE (text found $n times)"
    printf '%3d  %-44s %s  [%s]\n' $((i + 1)) "${files[$i]}" "${descs[$i]}" "$state"
  done
  exit 0
fi

# ---- restoring the tree ------------------------------------------------------

journal="$dir/mutate-active"    # path of the file under mutation
backup="$dir/mutate-active.orig"
logdir="$dir/mutate-logs"
active=""
child=""

restore() {
  if [[ -n "$active" && -f "$backup" ]]; then
    # Written over rather than moved: the file keeps its permissions and gets
    # a new time stamp, so the next build recompiles it.
    cat "$backup" >"$here/$active" && rm -f "$backup" "$journal"
  fi
  active=""
}

stop_child() {
  if [[ -n "$child" ]]; then
    # timeout leads its own process group: the build or the tests go with it.
    kill -TERM -- "-$child" 2>/dev/null || kill -TERM "$child" 2>/dev/null
    wait "$child" 2>/dev/null
    child=""
  fi
}

on_signal() {
  trap - INT TERM HUP
  echo
  echo "interrupted: restoring ${active:-the tree}" >&2
  stop_child
  restore
  exit 130
}
trap 'on_signal' INT TERM HUP
trap 'stop_child; restore' EXIT

# Runs a command under a time limit, in the background so that a signal to
# this script is handled at once. Output goes to the file in $1.
bounded() {
  local out="$1" secs="$2"
  shift 2
  timeout --kill-after=30 "$secs" "$@" >>"$out" 2>&1 &
  child=$!
  wait "$child"
  local rc=$?
  child=""
  return $rc
}

if [[ -f "$journal" ]]; then
  left="$(cat "$journal")"
  if [[ -n "$left" && -f "$backup" ]]; then
    echo "restoring $left, left mutated by an earlier run that was killed" >&2
    active="$left"
    restore
  fi
  rm -f "$journal" "$backup"
fi

# ---- the build folder and the baseline ---------------------------------------

if [[ ! -f "$dir/CMakeCache.txt" ]]; then
  if [[ "$dir" != "$default_dir" ]]; then
    echo "$dir is not a configured build folder" >&2
    exit 2
  fi
  echo "building $dir first" >&2
  timeout "$build_timeout" "$here/scripts/build.sh" debug >/dev/null || exit 1
fi
mkdir -p "$logdir"
rm -f "$logdir"/*.log

build() { bounded "$1" "$build_timeout" cmake --build "$dir"; }
# The suite waits on the device's timing more than it computes: two tests
# per core, as scripts/test.sh runs it. The few long end-to-end runs go last,
# so that a fault the quick tests catch is known without waiting for them
# (CTest lets the tests under way finish after the first failure).
slow_tests='FaultsE2E|StepTestE2E'
run_tests() {
  local j=$(($(nproc) * 2))
  bounded "$1" "$test_timeout" env QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$dir" --parallel "$j" --timeout 300 --stop-on-failure -E "$slow_tests" &&
    bounded "$1" "$test_timeout" env QT_QPA_PLATFORM=offscreen \
      ctest --test-dir "$dir" --parallel "$j" --timeout 300 --stop-on-failure -R "$slow_tests"
}
# The first test that did not pass, and how, from CTest's progress lines.
first_failure() {
  local line
  line="$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$1" | grep -vE ' Passed +[0-9.]+ sec' |
    grep -vE 'Not Run|Disabled|Skipped' | head -n 1)"
  [[ -n "$line" ]] || return 0
  local name how
  name="$(sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+).*/\1/' <<<"$line")"
  how="$(grep -oE '\*\*\*[A-Za-z]+|Subprocess [a-z]+|[A-Z]*FAULT|Exception' <<<"$line" | head -n 1)"
  echo "$name${how:+ ($how)}"
}

started=$(date +%s)
echo "building the unchanged tree in $dir"
if ! build "$logdir/00-build.log"; then
  echo "the unchanged tree does not build (see $logdir/00-build.log)" >&2
  exit 1
fi
if [[ $baseline -eq 1 ]]; then
  echo "running the suite on the unchanged tree"
  t0=$(date +%s)
  if ! run_tests "$logdir/00-tests.log"; then
    echo "the suite fails on the unchanged tree ($(first_failure "$logdir/00-tests.log")); see $logdir/00-tests.log" >&2
    exit 1
  fi
  echo "  passes ($(($(date +%s) - t0)) s)"
fi

# ---- the mutants -------------------------------------------------------------

killed=0 survived=0 stale=0 nocompile=0
survivors=()
for ((i = 0; i < total; i++)); do
  num=$(printf '%02d' $((i + 1)))
  log="$logdir/$num.log"
  t0=$(date +%s)
  file="${files[$i]}"
  result="" detail=""
  n=$(edit count "$i")
  if [[ "$n" != 1 ]]; then
    result=STALE detail="text found $n times in $file"
  else
    cp "$here/$file" "$backup" && printf '%s\n' "$file" >"$journal" || exit 1
    active="$file"
    if ! edit apply "$i" >/dev/null; then
      restore
      result=STALE detail="could not apply"
    elif ! build "$log"; then
      result=NOCOMPILE
    elif run_tests "$log"; then
      result=SURVIVED
    else
      result=KILLED
      detail="$(first_failure "$log")"
      [[ -n "$detail" ]] || detail="ctest failed, no failing test named (see $log)"
    fi
    restore
  fi
  case $result in
    KILLED) killed=$((killed + 1)) ;;
    SURVIVED) survived=$((survived + 1)); survivors+=("$num ${descs[$i]}") ;;
    STALE) stale=$((stale + 1)) ;;
    NOCOMPILE) nocompile=$((nocompile + 1)) ;;
  esac
  printf '[%s/%02d] %-9s %4ds  %s%s\n' "$num" "$total" "$result" $(($(date +%s) - t0)) \
    "${descs[$i]}" "${detail:+  -- $detail}"
done

# ---- back to the unchanged tree ----------------------------------------------

echo "rebuilding the unchanged tree"
build "$logdir/99-build.log" || echo "the rebuild of the unchanged tree failed (see $logdir/99-build.log)" >&2

compiled=$((killed + survived))
echo
echo "killed $killed, survived $survived, not compiled $nocompile, stale $stale of $total mutants"
for s in "${survivors[@]}"; do
  echo "  survived: $s"
done
echo "total time: $(($(date +%s) - started)) s"
echo "mutation score: $killed killed of $compiled compiled"
