#!/usr/bin/env bash
# Makes a history database holding DAYS days (default 365) of one-second rows
# for two loops, with the rollups the program keeps, ending now.
# scripts/history-gen.sh OUT.sqlite [DAYS]
# The benchmark (tests/bench/bench_history.cpp) reads build/history-year.sqlite;
# scripts/bench.sh makes it with this script when it is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: history-gen.sh OUT.sqlite [DAYS]}"
days="${2:-365}"
now=$(date +%s)
start=$(( (now - days * 86400) / 3600 * 3600 ))
rm -f "$out" "$out-wal" "$out-shm"
sqlite3 -cmd ".parameter set :days $days" -cmd ".parameter set :start $start" "$out" \
  <"$here/history-gen.sql" >/dev/null
ls -l "$out" >&2
