# Shared by scripts/soak.sh and scripts/monitor-soak.sh (sourced, not run):
# what /proc tells about a running program.

# utime + stime in clock ticks (fields 14 and 15; the name in field 2 is in
# parentheses and has no spaces for these programs).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }
# The anonymous part of VmRSS (the heap, SQLite's cache): the part that a leak
# grows, where the rest is pages of the program and its libraries.
anon_kb() { awk '/^RssAnon:/ {print $2}' "/proc/$1/status"; }
# Voluntary context switches of every thread: how often the program went to
# sleep, i.e. its wake-ups.
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches:/ {n += $2} END {print n + 0}'; }
# Waits up to 10 s for TEXT to appear in FILE.
wait_for_text() {
  for _ in $(seq 100); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Starts a private X server for the desktop tool: start_xvfb WORKDIR sets
# display_env (the environment that sends the tool to it) and x_pid.
start_xvfb() {
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$1/xvfb.out" 2>&1 &
  x_pid=$!
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "Xvfb did not start" >&2; cat "$1/xvfb.out" >&2; exit 1; }
  display_env=(QT_QPA_PLATFORM=xcb DISPLAY=":$n")
}
