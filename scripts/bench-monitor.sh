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

if [ "${VELK_IN_NETNS:-}" != 1 ]; then
  "$root/scripts/install-deps.sh"
  BUILD_TARGETS="velk-monitor velk-boxsim bench_window_start bench_minimal_window" \
    "$root/scripts/build.sh" "$root/build"
  display="${BENCH_DISPLAY:-:93}"
  if ! DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true' EXIT
    for _ in $(seq 50); do DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  if ! DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "bench-monitor: no X display $display (Xvfb did not start)" >&2
    exit 1
  fi
  DISPLAY="$display" "$root/scripts/netns.sh" "$0"
  exit
fi

bin="$root/build/bin"
runs="${RUNS:-5}"
config="$(mktemp -d)"
export XDG_CONFIG_HOME="$config" XDG_STATE_HOME="$config"
sim=""
monitor=""
cleanup() {
  for pid in $monitor $sim; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$config"
}
trap cleanup EXIT

settings() { # PERIOD_MS
  printf '[VelkM_main]\nRefreshRate=%s\nIP1=127\nIP2=0\nIP3=0\nIP4=2\n' "$1" > "$config/ZURazirod.ini"
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
window() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
# Clicks at X,Y inside the window named $1.
click_in() {
  local id x y
  id="$(window "$1")"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
wait_window() { for _ in $(seq 100); do [ -n "$(window "$1")" ] && return 0; sleep 0.1; done; return 1; }
# Starts the monitor and connects it through the address dialog.
start_connected() {
  "$bin/velk-monitor" 2>/dev/null &
  monitor=$!
  wait_window "Velk Monitor"
  click_in "Velk Monitor" 17 18  # Connect
  wait_window "IP Connection"
  click_in "IP Connection" 77 60 # Ok
  sleep 2
}
stop_monitor() { kill "$monitor"; wait "$monitor" || true; monitor=""; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

settings 10000
: > "$config/monitor.txt"
: > "$config/minimal.txt"
for _ in $(seq "$runs"); do
  "$bin/bench_window_start" "Velk Monitor" 1000 "$bin/velk-monitor" >> "$config/monitor.txt"
  "$bin/bench_window_start" "Minimal window" 1000 "$bin/bench_minimal_window" >> "$config/minimal.txt"
done
monitor_ms="$(cut -d' ' -f1 < "$config/monitor.txt" | median)"
monitor_kb="$(cut -d' ' -f2 < "$config/monitor.txt" | median)"
minimal_ms="$(cut -d' ' -f1 < "$config/minimal.txt" | median)"
minimal_kb="$(cut -d' ' -f2 < "$config/minimal.txt" | median)"

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
