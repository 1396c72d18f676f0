#!/usr/bin/env bash
# Counts the non-blank, non-comment C++ lines of the program (src/, app/,
# sim/) and of the tests (tests/), and prints the share of the tests.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null |
    xargs -0 -r cat |
    awk '
      { line = $0 }
      inblock { if (index(line, "*/")) { inblock = 0; line = substr(line, index(line, "*/") + 2) } else next }
      { sub(/^[ \t]+/, "", line) }
      line ~ /^\/\*/ { if (!index(substr(line, 3), "*/")) inblock = 1; next }
      line == "" || line ~ /^\/\// { next }
      { n++ }
      END { print n + 0 }'
}
cd "$here"
program=$(count src app sim)
tests=$(count tests)
share=$(awk -v t="$tests" -v p="$program" 'BEGIN { printf "%.1f", 100 * t / p }')
printf 'program (src, app, sim): %d lines\ntests: %d lines\ntests / program: %s%% (at most 35%%)\n' "$program" "$tests" "$share"
awk -v t="$tests" -v p="$program" 'BEGIN { exit !(t <= 0.35 * p) }'
