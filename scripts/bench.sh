#!/usr/bin/env bash
# Builds in release mode, runs every benchmark of the performance bar with
# repetitions and the start-up measurement, and prints one table of medians
# against the bars. scripts/bench.sh [repetitions, default 5] [start-up runs, default 7]
# The soak figures (whole-program CPU share) are read from build/release/
# soak-xvfb.txt (the bar: on Xvfb) and soak.txt (offscreen) when
# scripts/soak.sh has written them; run that script for fresh figures.
# TUVIK_NO_BUILD=1 uses build/release as it is.
# Exits non-zero only when building or running fails; a missed bar says MISSED.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
reps="${1:-5}"
runs="${2:-7}"
if [ "${TUVIK_NO_BUILD:-}" = 1 ]; then
  dir="$here/build/release"
else
  dir="$(bash "$here/scripts/build.sh" release | tail -n 1)"
fi
bench="$dir/tests/bench/benchmarks"
json="$dir/bench.json"
startup="$dir/startup.txt"

# The history benchmark reads a year of one-second rows for two loops
# (about 8.8 GB), made once by scripts/history-gen.sh (some ten minutes) and
# kept in build/history-year.sqlite; TUVIK_NO_HISTORY=1 leaves it out.
history_db="$here/build/history-year.sqlite"
filter='Framing|Dispatch|Trend|AllParams|Replay'
if [ "${TUVIK_NO_HISTORY:-}" != 1 ]; then
  if [ ! -f "$history_db" ]; then
    echo "Making the year-long history database (once) ..." >&2
    bash "$here/scripts/history-gen.sh" "$history_db" 365
  fi
  filter="$filter|History"
fi

echo "Running benchmarks ($reps repetitions) ..." >&2
QT_QPA_PLATFORM=offscreen "$bench" \
  --benchmark_filter="$filter" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json \
  >/dev/null 2>"$dir/bench.stderr"

echo "Measuring start-up ($runs runs) ..." >&2
: >"$startup"
for _ in $(seq "$runs"); do
  line="$(TUVIK_STARTUP_TIMING=exit QT_QPA_PLATFORM=offscreen "$dir/app/tuvik" 2>&1 >/dev/null |
    grep 'main window painted after' || true)"
  if [ -z "$line" ]; then
    echo "bench.sh: the program did not report its start-up time" >&2
    exit 1
  fi
  echo "$line" | sed -E 's/.*after ([0-9]+) ms.*/\1/' >>"$startup"
done

python3 - "$json" "$startup" "$dir/soak.txt" "$reps" <<'PY'
import json, statistics, sys, os

data = json.load(open(sys.argv[1]))
med = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") == "median":
        med[b["run_name"]] = b
if not med:
    sys.exit("bench.sh: no medians in the benchmark output")

SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
def secs(b, key):
    return b[key] * SCALE[b.get("time_unit", "ns")]

rows = []
def row(measure, wall, cpu, bar, ok):
    rows.append((measure, wall, cpu, bar, "met" if ok else "MISSED"))

def need(name):
    if name not in med:
        sys.exit("bench.sh: benchmark %s did not run" % name)
    return med[name]

MIB = 1 << 20  # the framing stream is 1 MiB per iteration
for arg, label in (("1", "framing, 1-byte reads (worst case)"),
                   ("64", "framing, 64-byte reads"),
                   ("4096", "framing, 4096-byte reads")):
    b = need("BM_FramingThroughput/" + arg)
    wall = MIB / secs(b, "real_time") / 1e6
    cpu = MIB / secs(b, "cpu_time") / 1e6
    row(label, "%.0f MB/s" % wall, "%.0f MB/s" % cpu, ">= 100 MB/s", cpu >= 100)

b = need("BM_DispatchLiveValues")
w, c = secs(b, "real_time") * 1e6, secs(b, "cpu_time") * 1e6
row("one 0x92 reply through the dispatcher", "%.3f us" % w, "%.3f us" % c, "< 2 us", c < 2)

for name, label in (("BM_TrendRedrawPainter/1", "main-chart redraw, 5 x 357 (as the widget paints)"),
                    ("BM_TrendRedrawPainter/0", "main-chart redraw, texts laid out afresh")):
    b = need(name)
    w, c = secs(b, "real_time") * 1e6, secs(b, "cpu_time") * 1e6
    row(label, "%.0f us" % w, "%.0f us" % c, "< 1 ms", c < 1000)

b = need("BM_AllParamsOpen")
w, c = secs(b, "real_time") * 1e3, secs(b, "cpu_time") * 1e3
row("all-parameters window, 1,001 parameters, opens", "%.1f ms" % w, "%.1f ms" % c, "< 150 ms", c < 150)

# Drawing a span of the year-long history: what the operator waits for, so
# the bar is on wall time.
for span, label in (("3600", "hour"), ("86400", "day"), ("604800", "week"),
                    ("2592000", "month"), ("31449600", "year")):
    name = "BM_HistoryDraw/" + span
    if name in med:
        b = med[name]
        w, c = secs(b, "real_time") * 1e3, secs(b, "cpu_time") * 1e3
        row("history, a %s drawn from a year of seconds" % label, "%.1f ms" % w, "%.1f ms" % c,
            "< 150 ms", w < 150)

for arg, label in (("0", "one-hour recording (0x92 at 430/s) replayed, seek to the end, painting held"),
                   ("1", "one-hour recording replayed as fast as possible, window painting")):
    b = need("BM_ReplayHour/%s/iterations:1/real_time" % arg)
    w, c = 3600.0 / secs(b, "real_time"), 3600.0 / secs(b, "cpu_time")
    row(label, "%.0fx real time" % w, "%.0fx real time" % c, ">= 100x real time", c >= 100)

ms = [int(x) for x in open(sys.argv[2]).read().split()]
s = statistics.median(ms)
row("start-up to the main window (%d runs, %d-%d ms)" % (len(ms), min(ms), max(ms)),
    "%.0f ms" % s, "-", "< 300 ms", s < 300)

# The bar is on a real X server (Xvfb); an offscreen figure is shown beside it.
soak_dir = os.path.dirname(sys.argv[3])
for name, where, bar in (("soak-xvfb.txt", "Xvfb", 3.0), ("soak.txt", "offscreen", None)):
    path = os.path.join(soak_dir, name)
    if not os.path.exists(path):
        if bar is not None:
            rows.append(("whole program at the maximum live-value rate, %s" % where, "-", "-",
                         "< %g %% of one core" % bar, "not run (scripts/soak.sh 60 5 10 3 xvfb)"))
        continue
    vals = dict(l.split("=", 1) for l in open(path).read().split() if "=" in l)
    share = float(vals["cpu_percent"])
    runs = vals.get("cpu_percent_runs", vals["cpu_percent"]).split(",")
    label = ("whole program on %s at %s replies/s (%s s soak, median of %d: %s)"
             % (where, vals["replies_per_s"], vals["seconds"], len(runs), ", ".join(runs)))
    if bar is None:
        rows.append((label, "-", "%.2f %% of one core" % share, "-", "(no bar offscreen)"))
    else:
        row(label, "-", "%.2f %% of one core" % share, "< %g %% of one core" % bar, share < bar)

ctx = data.get("context", {})
print("Release build; %s x %s MHz, load average %s at the start; medians of %s repetitions"
      % (ctx.get("num_cpus"), ctx.get("mhz_per_cpu"),
         "/".join("%.1f" % x for x in ctx.get("load_avg", [])), sys.argv[4]))
print()
print("Verdicts compare the CPU-time median with the bar (start-up: wall time);")
print("wall time follows the load of the shared machine.")
print()
print("| measure | median wall | median CPU | bar | verdict |")
print("|---|---|---|---|---|")
for r in rows:
    print("| %s | %s | %s | %s | %s |" % r)
PY
