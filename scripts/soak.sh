#!/usr/bin/env bash
# Runs the tool (release) against the bundled simulator over a pseudo-terminal
# at the link's fastest live-value refresh for a bounded time and reports the
# tool's CPU share, its wake-ups (voluntary context switches, all threads) and
# system calls per second, its resident memory at the start and end of the
# measured window, broken packets and messages logged. Every line the tool
# added to its daily message file is checked against the events the simulator
# sent, in order; a mismatch fails the run.
#   scripts/soak.sh [seconds, default 60] [refresh ms, default 5] [sim speed, default 10]
#                   [runs, default 3] [offscreen | xvfb, default offscreen]
# offscreen draws into memory only; xvfb starts a private X server (Xvfb) and
# shows the tool there through the xcb platform, as a desktop would, and also
# reports the X server's CPU share while the tool runs. System calls are
# counted with `perf stat -e raw_syscalls:sys_enter` when perf can (else n/a).
# With several runs, the run with the median CPU share is kept and every run's
# figures are listed. The kept figures also go to build/release/soak.txt
# (key=value; soak-xvfb.txt for xvfb), which scripts/bench.sh puts into its
# table. TUVIK_SOAK_TOOL=<path> runs another build of the tool (before and
# after a change, under the same load). The tool's settings are written into a
# scratch folder, not the user's. TUVIK_NO_BUILD=1 uses build/release as it is.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
secs="${1:-60}"
refresh="${2:-5}"
speed="${3:-10}"
runs="${4:-3}"
platform="${5:-offscreen}"
case "$platform" in
  offscreen | xvfb) ;;
  *) echo "soak.sh: the platform is offscreen or xvfb, not $platform" >&2; exit 2 ;;
esac
warm=3
if [ "${TUVIK_NO_BUILD:-}" = 1 ]; then
  dir="$here/build/release"
else
  dir="$(bash "$here/scripts/build.sh" release | tail -n 1)"
fi

out_name=soak.txt
[ "$platform" = xvfb ] && out_name=soak-xvfb.txt

if [ "$runs" -gt 1 ]; then
  kept="$(mktemp -d /tmp/tuvik-soak-runs.XXXXXX)"
  for r in $(seq "$runs"); do
    echo "== run $r of $runs"
    TUVIK_NO_BUILD=1 bash "$0" "$secs" "$refresh" "$speed" 1 "$platform"
    cp "$dir/$out_name" "$kept/$r.txt"
  done
  python3 - "$kept" "$dir/$out_name" <<'PY'
import os, sys
runs = []
for name in sorted(os.listdir(sys.argv[1])):
    vals = dict(l.strip().split("=", 1) for l in open(os.path.join(sys.argv[1], name)) if "=" in l)
    runs.append(vals)
runs.sort(key=lambda v: float(v["cpu_percent"]))
median = dict(runs[len(runs) // 2])
for key in ("cpu_percent", "x_cpu_percent", "wakeups_per_s", "syscalls_per_s"):
    median[key + "_runs"] = ",".join(v.get(key, "n/a") for v in runs)
with open(sys.argv[2], "w") as f:
    for k, v in median.items():
        f.write("%s=%s\n" % (k, v))
print("over %d runs (%s), the run with the median tool CPU share kept:" % (len(runs), median["platform"]))
print("  tool CPU share:     %s %% of one core (runs %s)" % (median["cpu_percent"], median["cpu_percent_runs"]))
if median.get("x_cpu_percent", "n/a") != "n/a":
    print("  X server CPU share: %s %% of one core (runs %s)" % (median["x_cpu_percent"], median["x_cpu_percent_runs"]))
print("  wake-ups per s:     %s (runs %s)" % (median["wakeups_per_s"], median["wakeups_per_s_runs"]))
print("  system calls per s: %s (runs %s)" % (median["syscalls_per_s"], median["syscalls_per_s_runs"]))
PY
  rm -rf "$kept"
  exit 0
fi
sim="$dir/sim/tuvik-sim"
tool="${TUVIK_SOAK_TOOL:-$dir/app/tuvik}"

work="$(mktemp -d /tmp/tuvik-soak.XXXXXX)"
sim_pid=""
tool_pid=""
x_pid=""
cleanup() {
  [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

source "$here/scripts/soak-lib.sh"
log_lines() { { cat "$(dirname "$tool")"/Flamorifier_*.csv 2>/dev/null || true; } | wc -l; }
log_tail() { { cat "$(dirname "$tool")"/Flamorifier_*.csv 2>/dev/null || true; } | tail -n "$1"; }

"$sim" --no-tcp --pty "$work/pty" --speed "$speed" --trace >"$work/sim.out" 2>"$work/sim.trace" &
sim_pid=$!
if ! wait_for_text "$work/sim.out" ready; then
  echo "soak.sh: the simulator did not start" >&2
  cat "$work/sim.out" >&2
  exit 1
fi

display_env=(QT_QPA_PLATFORM=offscreen)
if [ "$platform" = xvfb ]; then
  start_xvfb "$work"
fi

lines_before="$(log_lines)"
mkdir -p "$work/data/tuvik"
cp "$dir/sim/PARAMS.h" "$work/data/tuvik/PARAMS.h"
env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" "${display_env[@]}" \
  TUVIK_AUTOCONNECT="serial:$work/pty:$refresh" \
  TUVIK_RUN_SECONDS="$((warm + secs + 2))" \
  TUVIK_STATS_FILE="$work/stats.txt" \
  "$tool" >"$work/tool.out" 2>&1 &
tool_pid=$!

sleep "$warm"
if ! kill -0 "$tool_pid" 2>/dev/null; then
  echo "soak.sh: the tool ended early" >&2
  cat "$work/tool.out" >&2
  exit 1
fi
hz="$(getconf CLK_TCK)"
x_ticks() { if [ -n "$x_pid" ]; then ticks "$x_pid"; else echo 0; fi; }
t0="$(date +%s.%N)"; c0="$(ticks "$tool_pid")"; s0="$(ticks "$sim_pid")"; r0="$(rss_kb "$tool_pid")"
x0="$(x_ticks)"; w0="$(wakeups "$tool_pid")"
if command -v perf >/dev/null && perf stat -x, -o "$work/perf.txt" -e raw_syscalls:sys_enter \
  -p "$tool_pid" sleep "$secs" 2>/dev/null; then
  syscalls="$(awk -F, '/raw_syscalls:sys_enter/ {print $1}' "$work/perf.txt")"
else
  sleep "$secs"
  syscalls=""
fi
case "$syscalls" in '' | *[!0-9]*) syscalls=n/a ;; esac
t1="$(date +%s.%N)"; c1="$(ticks "$tool_pid")"; s1="$(ticks "$sim_pid")"; r1="$(rss_kb "$tool_pid")"
x1="$(x_ticks)"; w1="$(wakeups "$tool_pid")"

rc=0
wait "$tool_pid" || rc=$?
tool_pid=""
if [ "$rc" -ne 0 ] || [ ! -s "$work/stats.txt" ]; then
  echo "soak.sh: the tool failed (exit $rc)" >&2
  cat "$work/tool.out" >&2
  exit 1
fi
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
lines_after="$(log_lines)"
log_tail "$((lines_after - lines_before))" >"$work/logged.txt"

python3 - "$work/stats.txt" "$work/sim.trace" "$dir/$out_name" "$work/logged.txt" <<PY
import sys
stats = dict(l.split() for l in open(sys.argv[1]) if l.strip())
elapsed = $t1 - $t0
cpu = ($c1 - $c0) / $hz
sim_cpu = ($s1 - $s0) / $hz
run = $warm + $secs + 2
replies = int(stats["replies"])
# Every unsolicited actuator event the simulator sent, from its trace: one
# line per transmission, packets of command 0x8C within it.
# A transmission is packets back to back: command, length, data, trailer.
sent = []  # (activity, started, clock text, state) of every event sent
for line in open(sys.argv[2], errors="replace"):
    parts = line.split()
    if len(parts) < 3 or parts[1] != "->":
        continue
    b = [int(x, 16) for x in parts[2:]]
    i = 0
    while i + 1 < len(b):
        if b[i] == 0x8C and b[i + 1] == 5 and i + 7 <= len(b):
            d = b[i + 2:i + 7]
            tenths = d[2] | d[3] << 8 | d[4] << 16
            sent.append((d[0], bool(d[1] & 0x80), tenths, d[1] & 0x7F))
        i += b[i + 1] + 3
events = len(sent)

# The daily file's lines: date;time;activity;started/stopped;clock;state;...
# Each must be the event sent at its place: the same start or stop, the same
# clock reading, and one name for each activity and state code throughout.
# A daily file the run created starts with its column header.
logged = [l.rstrip("\n").split(";") for l in open(sys.argv[4], errors="replace")
          if l.strip() and not l.startswith("Date;")]
problems = []
if len(logged) != len(sent):
    problems.append("%d events sent, %d lines logged" % (len(sent), len(logged)))
names = {}
for k, (ev, row) in enumerate(zip(sent, logged)):
    activity, started, tenths, state = ev
    if len(row) < 6:
        problems.append("line %d has %d fields" % (k + 1, len(row)))
        continue
    if row[3].strip() != ("started" if started else "stopped"):
        problems.append("line %d: %r, but the event was %s" % (k + 1, row[3], "a start" if started else "a stop"))
    try:
        if abs(float(row[4]) - tenths / 10.0) > 0.05 + tenths * 1e-6:
            problems.append("line %d: clock %s, sent %.1f" % (k + 1, row[4], tenths / 10.0))
    except ValueError:
        problems.append("line %d: clock %r is no number" % (k + 1, row[4]))
    for key, text in ((("a", activity), row[2].strip()), (("s", state), row[5].strip())):
        if names.setdefault(key, text) != text:
            problems.append("line %d: code %s shown as %r and as %r" % (k + 1, key, names[key], text))
x_cpu = ($x1 - $x0) / $hz
syscalls = "$syscalls"
out = {
    "platform": "$platform",
    "seconds": "%d" % $secs,
    "refresh_ms": "$refresh",
    "cpu_percent": "%.2f" % (100 * cpu / elapsed),
    "sim_cpu_percent": "%.2f" % (100 * sim_cpu / elapsed),
    "x_cpu_percent": "%.2f" % (100 * x_cpu / elapsed) if "$platform" == "xvfb" else "n/a",
    "wakeups_per_s": "%.0f" % (($w1 - $w0) / elapsed),
    "syscalls_per_s": "%.0f" % (int(syscalls) / elapsed) if syscalls.isdigit() else "n/a",
    "rss_start_kb": "$r0",
    "rss_end_kb": "$r1",
    "replies": str(replies),
    "replies_per_s": "%.0f" % (replies / run),
    "broken_packets": stats["broken_packets"],
    "chart_paints_per_s": "%.1f" % (int(stats.get("chart_paints", 0)) / run),
    "chart_paint_ms": "%.3f" % (int(stats.get("chart_paint_us", 0)) / 1000.0 / max(1, int(stats.get("chart_paints", 0)))),
    "messages": stats["messages"],
    "log_file_lines": str($lines_after - $lines_before),
    "sim_events": str(events),
    "sim_speed": "$speed",
    "log_mismatches": str(len(problems)),
}
with open(sys.argv[3], "w") as f:
    for k, v in out.items():
        f.write("%s=%s\n" % (k, v))
print("Tool (release, $platform) against tuvik-sim over a pseudo-terminal, refresh $refresh ms")
print("measured window: %.1f s after %d s of warm-up" % (elapsed, $warm))
print("replies dispatched:   %d in %d s (about %s per second)" % (replies, run, out["replies_per_s"]))
print("tool CPU share:       %s %% of one core (%.2f s CPU)" % (out["cpu_percent"], cpu))
print("simulator CPU share:  %s %% of one core" % out["sim_cpu_percent"])
if "$platform" == "xvfb":
    print("X server CPU share:   %s %% of one core" % out["x_cpu_percent"])
print("tool wake-ups:        %s per second (voluntary context switches, all threads)" % out["wakeups_per_s"])
print("tool system calls:    %s per second" % out["syscalls_per_s"])
print("tool VmRSS:           %s kB at start, %s kB at end" % ("$r0", "$r1"))
print("chart paints:         %s per second, %s ms CPU each" % (out["chart_paints_per_s"], out["chart_paint_ms"]))
print("broken packets:       %s" % out["broken_packets"])
print("messages logged:      %s (lines added to the daily file: %s)" % (out["messages"], out["log_file_lines"]))
print("actuator events (0x8C) the simulator sent: %d (simulated time x$speed)" % events)
if problems:
    print("logged lines that do not match what the simulator sent:")
    for p in problems[:20]:
        print("  " + p)
    sys.exit(1)
print("every logged line matches the event the simulator sent")
PY
