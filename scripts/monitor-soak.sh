#!/usr/bin/env bash
# Measures tuvik-monitor (release) against the bundled simulator over a
# pseudo-terminal at the fastest live-value rate, publishing to a private
# Mosquitto on a free loopback port, with the history and the recording on.
#
#   scripts/monitor-soak.sh measure [seconds, default 60] [runs, default 3] [sim speed, default 10]
#                                   [offscreen | xvfb, default offscreen]
#     Each run starts a simulator, a broker and the monitor, and beside them a
#     second simulator with the same settings and the desktop tool (offscreen,
#     or on a private Xvfb as scripts/soak.sh runs it), and samples both over
#     the same window: CPU
#     share (utime + stime from /proc/<pid>/stat), the monitor's wake-ups
#     (voluntary context switches, all threads), system calls (perf stat -e
#     raw_syscalls:sys_enter, else n/a), VmRSS and VmHWM. The median run by
#     the monitor's CPU share is reported, every run listed. Over all runs:
#     the delay from the simulator's transmission (its --trace lines, stamped
#     as they are read) to a subscriber's arrival (mosquitto_sub -F %U) for
#     the pushed alarm (0x94) and actuator events (0x8C), and for the polled
#     program state and LEDs (0x97).
#   scripts/monitor-soak.sh floor [seconds, default 60] [runs, default 3]
#     What one wake-up per request costs on this machine whatever the program:
#     a bare C loop (built here with cc) that sleeps to the next 5 ms, reads
#     what the simulator answered and writes the next data request, against
#     the same simulator over a pseudo-terminal; its CPU share from getrusage,
#     the median run reported.
#   scripts/monitor-soak.sh soak [seconds, default 600] [broker restart every N s, default 120]
#     One long run with the broker restarted every N s: the monitor's VmRSS
#     every 10 s, a persistent QoS 1 collector (mosquitto_sub -c -q 1 -i ...)
#     whose arrivals are compared, topic by topic, with the QoS 1 PUBLISH
#     packets the broker logged as received from the monitor, and the
#     monitor's exit status at the end (0: no crash).
#
# Every process it starts is ended by its id; the data goes to a scratch
# folder under /tmp, removed at the end unless TUVIK_KEEP=1.
# TUVIK_NO_BUILD=1 uses build/release as it is. TUVIK_REFRESH_MS sets both
# programs' refresh period (default 5 ms, the fastest).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/soak-lib.sh"
mode="${1:-measure}"
case "$mode" in
  measure) secs="${2:-60}"; runs="${3:-3}"; speed="${4:-10}"; platform="${5:-offscreen}" ;;
  floor) secs="${2:-60}"; runs="${3:-3}"; speed=10 ;;
  soak) secs="${2:-600}"; every="${3:-120}"; speed=10 ;;
  *) echo "usage: $0 measure [seconds] [runs] [speed] [offscreen|xvfb] | floor [seconds] [runs] | soak [seconds] [restart every s]" >&2; exit 2 ;;
esac
case "${platform:-offscreen}" in
  offscreen | xvfb) ;;
  *) echo "monitor-soak.sh: the platform is offscreen or xvfb, not $platform" >&2; exit 2 ;;
esac
if [ "${TUVIK_NO_BUILD:-}" = 1 ]; then
  dir="$here/build/release"
else
  dir="$(TUVIK_BUILD_TARGETS="tuvik tuvik-monitor tuvik-sim" bash "$here/scripts/build.sh" release | tail -n 1)"
fi
sim="$dir/sim/tuvik-sim"
monitor="$dir/app/tuvik-monitor"
tool="$dir/app/tuvik"
warm=5
hz="$(getconf CLK_TCK)"
refresh="${TUVIK_REFRESH_MS:-5}"

work="$(mktemp -d /tmp/tuvik-monitor-soak.XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ "${TUVIK_KEEP:-}" = 1 ] && echo "data kept in $work" || rm -rf "$work"
}
trap cleanup EXIT INT TERM
# Ends one process this script started and waits for it.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

port="$(python3 -c 'import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
[ "$port" != 1883 ] || { echo "monitor-soak.sh: got port 1883, try again" >&2; exit 1; }
mkdir -p "$work/broker"
broker_pid=""
broker_n=0
# The broker keeps its sessions and retained messages across a restart; it
# runs as this user (not mosquitto's own), so that it may write the scratch
# folder.
start_broker() {
  broker_n=$((broker_n + 1))
  cat >"$work/mosquitto.conf" <<EOF
listener $port 127.0.0.1
allow_anonymous true
user $(id -un)
persistence true
persistence_location $work/broker/
log_dest file $work/broker-$broker_n.log
log_type all
EOF
  mosquitto -c "$work/mosquitto.conf" >"$work/broker-$broker_n.out" 2>&1 &
  broker_pid=$!
  pids+=("$broker_pid")
  wait_for_text "$work/broker-$broker_n.log" "running" || { echo "monitor-soak.sh: mosquitto did not start" >&2; exit 1; }
}

# A simulator whose trace lines are stamped with this machine's clock as they
# are read: start_sim NAME (pty at $work/NAME.pty, trace at $work/NAME.trace).
start_sim() {
  mkfifo "$work/$1.fifo"
  python3 -c '
import sys, time
out = open(sys.argv[1], "wb")
with open(sys.argv[2], "rb", buffering=0) as f:
    buf = b""
    while True:
        chunk = f.read(65536)
        if not chunk:
            break
        now = b"%.6f " % time.time()
        buf += chunk
        *lines, buf = buf.split(b"\n")
        for l in lines:
            out.write(now + l + b"\n")
out.close()' "$work/$1.trace" "$work/$1.fifo" &
  pids+=($!)
  eval "$1_reader=$!"
  "$sim" --no-tcp --pty "$work/$1.pty" --speed "$speed" --trace >"$work/$1.out" 2>"$work/$1.fifo" &
  pids+=($!)
  eval "$1_pid=$!"
  wait_for_text "$work/$1.out" ready || { echo "monitor-soak.sh: the simulator did not start" >&2; exit 1; }
}

start_monitor() {
  mkdir -p "$work/mon-data"
  cat >"$work/monitor.conf" <<EOF
[link]
serial = $work/msim.pty
refresh_ms = $refresh
[monitor]
device_id = soak
[data]
dir = $work/mon-data
[mqtt]
host = 127.0.0.1
port = $port
EOF
  "$monitor" --config "$work/monitor.conf" --params "$dir/sim/PARAMS.h" >"$work/monitor.log" 2>&1 &
  mon_pid=$!
  pids+=("$mon_pid")
}

if [ "$mode" = floor ]; then
  cat >"$work/floor.c" <<'EOF'
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
int main(int argc, char** argv) {
  int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) { perror(argv[1]); return 1; }
  struct termios t;
  tcgetattr(fd, &t); cfmakeraw(&t); tcsetattr(fd, TCSANOW, &t);
  const long ticks = atol(argv[2]) * 200;
  static const char request[3] = {(char)0x91, 0x00, (char)0x6E};
  char buf[4096];
  long got = 0;
  struct timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (long i = 0; i < ticks; ++i) {
    next.tv_nsec += 5000000;
    if (next.tv_nsec >= 1000000000) { next.tv_nsec -= 1000000000; next.tv_sec++; }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) got += n;
    if (write(fd, request, 3) != 3) { perror("write"); return 1; }
  }
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  double cpu = u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  printf("%.3f %ld %ld %ld\n", 100.0 * cpu / atol(argv[2]), got, u.ru_nvcsw, u.ru_nivcsw);
  return 0;
}
EOF
  cc -O2 -o "$work/floor" "$work/floor.c"
  : >"$work/floor.txt"
  for r in $(seq "$runs"); do
    start_sim fsim
    sleep 1
    "$work/floor" "$work/fsim.pty" "$secs" >>"$work/floor.txt"
    stop "$fsim_pid"
    rm -f "$work"/fsim.fifo "$work"/fsim.trace
  done
  python3 - "$work/floor.txt" "$secs" <<'PY'
import statistics, sys
rows = [list(map(float, l.split())) for l in open(sys.argv[1])]
secs = float(sys.argv[2])
for i, (cpu, got, vol, invol) in enumerate(rows, 1):
    print("floor run %d (%.0f s): %.2f %% of one core, %.0f bytes/s answered, %.0f voluntary and %.0f involuntary switches/s"
          % (i, secs, cpu, got / secs, vol / secs, invol / secs))
print("floor median: %.2f %% of one core" % statistics.median(r[0] for r in rows))
PY
  exit 0
fi

if [ "$mode" = measure ]; then
  display_env=(QT_QPA_PLATFORM=offscreen)
  if [ "$platform" = xvfb ]; then
    start_xvfb "$work"
    pids+=("$x_pid")
  fi
  : >"$work/runs.txt"
  for r in $(seq "$runs"); do
    echo "== run $r of $runs"
    start_broker
    mosquitto_sub -h 127.0.0.1 -p "$port" -v -F '%U %t %p' -t 'tuvik/#' >"$work/sub-$r.txt" 2>&1 &
    sub_pid=$!; pids+=("$sub_pid")
    start_sim msim
    start_sim dsim
    start_monitor
    mkdir -p "$work/desk-$r/data/tuvik"
    cp "$dir/sim/PARAMS.h" "$work/desk-$r/data/tuvik/PARAMS.h"
    env XDG_CONFIG_HOME="$work/desk-$r/config" XDG_DATA_HOME="$work/desk-$r/data" "${display_env[@]}" \
      TUVIK_AUTOCONNECT="serial:$work/dsim.pty:$refresh" TUVIK_RUN_SECONDS="$((warm + secs + 5))" \
      TUVIK_STATS_FILE="$work/desk-$r/stats.txt" "$tool" >"$work/desk-$r/tool.out" 2>&1 &
    desk_pid=$!; pids+=("$desk_pid")
    sleep "$warm"
    kill -0 "$mon_pid" && kill -0 "$desk_pid" || { echo "monitor-soak.sh: a program ended early" >&2; cat "$work/monitor.log" >&2; exit 1; }
    t0="$(date +%s.%N)"; m0="$(ticks "$mon_pid")"; d0="$(ticks "$desk_pid")"; w0="$(wakeups "$mon_pid")"
    if perf stat -x, -o "$work/perf.txt" -e raw_syscalls:sys_enter -p "$mon_pid" sleep "$secs" 2>/dev/null; then
      syscalls="$(awk -F, '/raw_syscalls:sys_enter/ {print $1}' "$work/perf.txt")"
    else
      sleep "$secs"; syscalls=""
    fi
    case "$syscalls" in '' | *[!0-9]*) syscalls=n/a ;; esac
    t1="$(date +%s.%N)"; m1="$(ticks "$mon_pid")"; d1="$(ticks "$desk_pid")"; w1="$(wakeups "$mon_pid")"
    echo "$t0 $t1 $m0 $m1 $d0 $d1 $w0 $w1 $syscalls $(rss_kb "$mon_pid") $(hwm_kb "$mon_pid") $(rss_kb "$desk_pid") $(uptime | sed 's/.*load average: //')" >>"$work/runs.txt"
    stop "$desk_pid"; stop "$mon_pid"
    sleep 0.5
    stop "$sub_pid"; stop "$msim_pid"; stop "$dsim_pid"; stop "$broker_pid"
    # The trace readers end with their simulators (a private X server lives on).
    wait "$msim_reader" "$dsim_reader" 2>/dev/null || true
    mv "$work/msim.trace" "$work/msim-$r.trace"
    rm -f "$work"/*sim.fifo "$work"/*sim.trace
  done
  python3 - "$work" "$runs" "$hz" <<'PY'
import os, statistics, sys
work, runs, hz = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rows = []
for line in open(os.path.join(work, "runs.txt")):
    f = line.split(None, 12)
    t0, t1, m0, m1, d0, d1, w0, w1 = map(float, f[:8])
    el = t1 - t0
    rows.append(dict(mon=100 * (m1 - m0) / hz / el, desk=100 * (d1 - d0) / hz / el,
                     wake=(w1 - w0) / el, sys=(int(f[8]) / el) if f[8].isdigit() else None,
                     rss=int(f[9]), hwm=int(f[10]), desk_rss=int(f[11]), load=f[12].strip(), el=el))
for i, r in enumerate(rows, 1):
    print("run %d (%.1f s, load %s): monitor %.2f %%, desktop %.2f %%, ratio %.2f, monitor %.0f wake-ups/s, %s syscalls/s, VmRSS %d kB, VmHWM %d kB (desktop VmRSS %d kB)"
          % (i, r["el"], r["load"], r["mon"], r["desk"], r["mon"] / r["desk"], r["wake"],
             "n/a" if r["sys"] is None else "%.0f" % r["sys"], r["rss"], r["hwm"], r["desk_rss"]))
print("median: monitor %.2f %% of one core, desktop %.2f %%, ratio of medians %.2f"
      % (statistics.median(r["mon"] for r in rows), statistics.median(r["desk"] for r in rows),
         statistics.median(r["mon"] for r in rows) / statistics.median(r["desk"] for r in rows)))
print("median: monitor wake-ups/s %.0f, syscalls/s %s, VmRSS %d kB, VmHWM %d kB"
      % (statistics.median(r["wake"] for r in rows),
         "n/a" if rows[0]["sys"] is None else "%.0f" % statistics.median(r["sys"] for r in rows),
         statistics.median(r["rss"] for r in rows), statistics.median(r["hwm"] for r in rows)))

# Latency. The trace: "<stamp> <where> -> <hex bytes>" per transmission, a
# transmission being packets back to back: command, length, data, trailer.
ACT = ["grate", "fuel_auger", "ignition", "startup_heater", "air_blower"]
LEDS = ["led_5", "led_6", "led_7", "state_led", "error_led"]
lat = {"alarm (0x94, pushed)": [], "actuator event (0x8C, pushed)": [],
       "program state (0x97, polled)": [], "LEDs (0x97, polled)": []}
n_changes = {kind: 0 for kind in lat}
for r in range(1, runs + 1):
    sent = []  # (stamp, topic suffix, payload or None for any)
    alarm = None
    state = None
    leds = None
    for line in open(os.path.join(work, "msim-%d.trace" % r), errors="replace"):
        p = line.split()
        if len(p) < 4 or p[2] != "->":
            continue
        ts = float(p[0])
        b = [int(x, 16) for x in p[3:]]
        i = 0
        while i + 1 < len(b):
            cmd, n = b[i], b[i + 1]
            d = b[i + 2:i + 2 + n]
            if cmd == 0x94 and n == 1 and len(d) == 1:
                v = "ON" if d[0] else "OFF"
                if alarm is not None and v != alarm:
                    sent.append((ts, "alarm", v, "alarm (0x94, pushed)"))
                alarm = v
            elif cmd == 0x8C and n == 5 and len(d) == 5 and d[0] < 5:
                sent.append((ts, "burner/actuator/" + ACT[d[0]], "ON" if d[1] & 0x80 else "OFF",
                             "actuator event (0x8C, pushed)"))
            elif cmd == 0x97 and len(d) == n and n >= 17:
                if state is not None and d[16] != state:
                    sent.append((ts, "burner/state", None, "program state (0x97, polled)"))
                state = d[16]
                w = d[14] | d[15] << 8
                now = [bool(w & (1 << k)) for k in range(5, 10)]
                if leds is not None:
                    for k in range(5):
                        if now[k] != leds[k]:
                            sent.append((ts, "burner/led/" + LEDS[k], "ON" if now[k] else "OFF",
                                         "LEDs (0x97, polled)"))
                leds = now
            i += n + 3
    got = []
    for line in open(os.path.join(work, "sub-%d.txt" % r), errors="replace"):
        p = line.rstrip("\n").split(" ", 2)
        if len(p) >= 2 and p[1].startswith("tuvik/soak/"):
            got.append((float(p[0]), p[1][len("tuvik/soak/"):], p[2] if len(p) > 2 else ""))
    # Each change sent is matched with the first message on its topic (with
    # its payload) that arrived after it and within 2 s; a change the monitor
    # did not publish (already the retained value, or taken back before the
    # next message) has no match and is counted apart.
    used = set()
    for ts, topic, payload, kind in sent:
        for k, (ta, t, pl) in enumerate(got):
            if ta < ts or k in used or t != topic or (payload is not None and pl != payload):
                continue
            if ta - ts <= 2.0:
                lat[kind].append(1000 * (ta - ts))
                used.add(k)
            break
    for ts, topic, payload, kind in sent:
        n_changes[kind] += 1
for kind in lat:
    v = sorted(lat[kind])
    n_sent = n_changes[kind]
    if v:
        print("latency %s: median %.1f ms, max %.1f ms, %d matched of %d changes sent"
              % (kind, statistics.median(v), v[-1], len(v), n_sent))
    else:
        print("latency %s: none matched of %d changes sent" % (kind, n_sent))
PY
  exit 0
fi

# soak
start_broker
mosquitto_sub -h 127.0.0.1 -p "$port" -c -q 1 -i tuvik-soak-collector -F '%U %q %r %t' \
  -t 'tuvik/#' -t 'homeassistant/#' >"$work/collector.txt" 2>&1 &
col_pid=$!; pids+=("$col_pid")
start_sim msim
start_monitor
start="$(date +%s)"
: >"$work/rss.txt"
next_restart=$every
while :; do
  el=$(($(date +%s) - start))
  [ "$el" -ge "$secs" ] && break
  kill -0 "$mon_pid" 2>/dev/null || { echo "monitor-soak.sh: the monitor ended at $el s" >&2; break; }
  echo "$el $(rss_kb "$mon_pid") $(hwm_kb "$mon_pid") $(anon_kb "$mon_pid")" >>"$work/rss.txt"
  if [ "$el" -ge "$next_restart" ]; then
    echo "== $el s: broker restart"
    stop "$broker_pid"
    sleep 1
    start_broker
    next_restart=$((next_restart + every))
  fi
  sleep 10
done
el=$(($(date +%s) - start))
echo "$el $(rss_kb "$mon_pid") $(hwm_kb "$mon_pid") $(anon_kb "$mon_pid")" >>"$work/rss.txt"
kill "$mon_pid"
rc=0
wait "$mon_pid" || rc=$?
sleep 2
stop "$col_pid"; stop "$msim_pid"; stop "$broker_pid"
echo "monitor exit status: $rc"
grep -c "MQTT" "$work/monitor.log" | sed 's/^/monitor log lines naming MQTT: /'
python3 - "$work" "$every" <<'PY'
import collections, glob, os, re, sys
work, every = sys.argv[1], int(sys.argv[2])
rss = [tuple(map(int, l.split())) for l in open(os.path.join(work, "rss.txt"))]
at = lambda s: min(rss, key=lambda x: abs(x[0] - s))
a, b = at(every), rss[-1]
print("monitor VmRSS: %d kB at %d s, %d kB at %d s (difference %+d kB); VmHWM %d kB at the end"
      % (a[1], a[0], b[1], b[0], b[1] - a[1], b[2]))
print("monitor RssAnon: %d kB at %d s, %d kB at %d s (difference %+d kB)"
      % (a[3], a[0], b[3], b[0], b[3] - a[3]))
print("VmRSS every 10 s (kB): " + " ".join(str(x[1]) for x in rss))
print("RssAnon every 10 s (kB): " + " ".join(str(x[3]) for x in rss))
sent = collections.Counter()
pat = re.compile(r"Received PUBLISH from tuvik-soak \(d\d, q1, r\d, m\d+, '([^']*)'")
for log in sorted(glob.glob(os.path.join(work, "broker-*.log"))):
    for line in open(log, errors="replace"):
        m = pat.search(line)
        if m:
            sent[m.group(1)] += 1
got = collections.Counter()
for line in open(os.path.join(work, "collector.txt"), errors="replace"):
    p = line.rstrip("\n").split(" ", 3)
    # Live deliveries only: a retained message sent again for a new
    # subscription carries the retain flag.
    if len(p) == 4 and p[1] == "1" and p[2] == "0":
        got[p[3]] += 1
missing = {t: sent[t] - got[t] for t in sent if sent[t] > got[t]}
extra = {t: got[t] - sent[t] for t in got if got[t] > sent[t]}
print("QoS 1 PUBLISH received by the broker from the monitor: %d (%d topics, over %d broker runs)"
      % (sum(sent.values()), len(sent), len(glob.glob(os.path.join(work, "broker-*.log")))))
print("QoS 1 live deliveries to the persistent collector: %d" % sum(got.values()))
print("missing at the collector: %d %s" % (sum(missing.values()), dict(list(missing.items())[:10])))
print("more at the collector than sent: %d %s" % (sum(extra.values()), dict(list(extra.items())[:10])))
# What may explain the extra ones, from the broker's own log: QoS 1
# deliveries sent again (the DUP flag) and "offline" wills.
redo = will = 0
for log in glob.glob(os.path.join(work, "broker-*.log")):
    for line in open(log, errors="replace"):
        if "Sending PUBLISH to tuvik-soak-collector (d1, q1" in line:
            redo += 1
        if re.search(r"Sending PUBLISH to tuvik-soak-collector \(d0, q1, r0, m\d+, 'tuvik/soak/status', \.\.\. \(7 bytes", line):
            will += 1
print("broker log: %d deliveries to the collector sent again with DUP, %d deliveries of a 7-byte status ('offline': the will, or the monitor's clean stop)" % (redo, will))
PY
