#!/usr/bin/env bash
# Whole-program figures of the monitor, in one run, on an X display of its own (Xvfb) inside
# the private network namespace, against velk-boxsim:
#   - start to window shown, and resident memory once shown, against a minimal Qt window
#     program built beside it (medians of RUNS starts each, interleaved);
#   - CPU used while connected at a 1000 ms period, over 60 s;
#   - resident memory with one graph window holding its full 1400 points.
# Settings live in a temporary folder; the operator's own are not touched.
#   scripts/bench-monitor.sh   (BENCH_DISPLAY=:N: the X display, default :93; an Xvfb is
#                               started there unless one already serves it)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/x-session.sh"

if [ "${VELK_IN_NETNS:-}" != 1 ]; then
  "$root/scripts/install-deps.sh"
  BUILD_TARGETS="velk-monitor velk-boxsim bench_window_start bench_minimal_window" \
    "$root/scripts/build.sh" "$root/build"
  run_on_display bench-monitor "${BENCH_DISPLAY:-:93}" "$0"
  exit
fi

bin="$root/build/bin"
runs="${RUNS:-5}"
inside_session

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
# Starts the monitor and connects it through the address dialog.
start_connected() {
  "$bin/velk-monitor" 2>/dev/null &
  monitor=$!
  connect_monitor
  sleep 2
}
stop_monitor() { kill "$monitor"; wait "$monitor" || true; monitor=""; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

settings 10000
: > "$work/monitor.txt"
: > "$work/minimal.txt"
for _ in $(seq "$runs"); do
  "$bin/bench_window_start" "Velk Monitor" 1000 "$bin/velk-monitor" >> "$work/monitor.txt"
  "$bin/bench_window_start" "Minimal window" 1000 "$bin/bench_minimal_window" >> "$work/minimal.txt"
done
monitor_ms="$(cut -d' ' -f1 < "$work/monitor.txt" | median)"
monitor_kb="$(cut -d' ' -f2 < "$work/monitor.txt" | median)"
minimal_ms="$(cut -d' ' -f1 < "$work/minimal.txt" | median)"
minimal_kb="$(cut -d' ' -f2 < "$work/minimal.txt" | median)"

"$bin/velk-boxsim" --address 127.0.0.2 >/dev/null &
sim=$!
sleep 0.5

settings 1000
start_connected
hz="$(getconf CLK_TCK)"
before="$(cpu_ticks "$monitor")"
sleep 60
after="$(cpu_ticks "$monitor")"
cpu="$(awk -v d=$((after - before)) -v hz="$hz" 'BEGIN {printf "%.2f", 100 * d / hz / 60}')"
stop_monitor

# A 1 ms period makes each tick follow the last at once: 1400 points in a few seconds.
settings 1
start_connected
click_in "Velk Monitor" 38 64 # the cold plate's graph
sleep 40
graph_kb="$(rss_kb "$monitor")"
stop_monitor

echo "runs of each start: $runs"
echo "start to window shown: monitor ${monitor_ms} ms, minimal Qt window ${minimal_ms} ms," \
  "ratio $(awk -v a="$monitor_ms" -v b="$minimal_ms" 'BEGIN {printf "%.2f", a / b}')"
echo "resident memory once shown: monitor $((monitor_kb / 1024)) MB, minimal Qt window $((minimal_kb / 1024)) MB"
echo "CPU while connected at 1000 ms, over 60 s: ${cpu} % of one core"
echo "resident memory with one full graph window: $((graph_kb / 1024)) MB"
