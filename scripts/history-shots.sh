#!/usr/bin/env bash
# The README's pictures of the history window, on an X display of their own (Xvfb):
#   doc/history-month.png  the last 30 days of a generated month (10 s period) with one
#                          spike, a six-hour outage and alarm marks;
#   doc/history-night.png  the same window zoomed with the mouse rectangle to one night.
#   scripts/history-shots.sh   (SHOTS_DISPLAY=:N, default :96)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/x-session.sh"

if [ "${VELK_IN_NETNS:-}" != 1 ]; then
  "$root/scripts/install-deps.sh" imagemagick
  BUILD_TARGETS="velk-monitor" "$root/scripts/build.sh" "$root/build"
  run_on_display history-shots "${SHOTS_DISPLAY:-:96}" "$0"
  exit
fi

inside_session
settings 10000
mkdir -p "$work/velk-monitor"
# A month of readings files as the monitor writes them: the cold plate near -180 °C with a
# single reading of -120 °C, the nitrogen output near -191 °C, six hours without readings,
# and an alarm on the cold plate with its end.
python3 - "$work/velk-monitor" <<'PY'
import math, sys, time, datetime
folder = sys.argv[1]
end = int(time.time()) // 10 * 10
start = end - 30 * 86400
spike = start + 12 * 86400 + 3 * 3600
outage = (start + 20 * 86400, start + 20 * 86400 + 6 * 3600)
files = {}
def iso(t):
    d = datetime.datetime.fromtimestamp(t).astimezone()
    return d.isoformat(timespec="seconds")
for t in range(start, end + 1, 10):
    if outage[0] <= t < outage[1]:
        continue
    day = datetime.datetime.fromtimestamp(t).strftime("%Y-%m-%d")
    x = (t - start) / 86400.0
    t1 = -180 + 1.5 * math.sin(x * 2 * math.pi) + 0.2 * math.sin(x * 37)
    if t == spike:
        t1 = -120
    t2 = -191 + 0.8 * math.sin(x * 2 * math.pi + 1)
    level = 60 - 40 * ((x * 3) % 1)
    line = "%s,%.5g,%.4g,-180,%.5g,-190,-198,9.99E-6,Running,Closed,%.3g\n" % (
        iso(t), t1, 37 + 5 * math.sin(x), t2, level)
    files.setdefault(day, []).append(line)
header = "time,temp1,power,setpoint1,temp2,setpoint2,alarmlow,vacuum,pump,valve,level\n"
for day, lines in files.items():
    with open("%s/readings-%s.csv" % (folder, day), "w") as f:
        f.write(header + "".join(lines))
for t, text in ((spike, "Alarm on cold plate temperature  (-120\u00b0C)"),
                (spike + 10, "Alarm stopped on cold plate temperature  (-180\u00b0C)"),
                (outage[0] + 5, "No answer from the temperature controllers since ..."),
                (outage[1] - 5, "The temperature controllers answer again")):
    day = datetime.datetime.fromtimestamp(t).strftime("%Y-%m-%d")
    with open("%s/events-%s.log" % (folder, day), "a") as f:
        f.write("%s  %s\n" % (iso(t), text))
PY

"$root/build/bin/velk-monitor" 2>"$work/monitor.err" &
monitor=$!
wait_window "Velk Monitor"
click_in "Velk Monitor" 211 16 # the History button
wait_window "History"
history="$(window History)"
xdotool windowmove "$history" 0 0
sleep 1
# "Last 30 days" in the span chooser: focus it, then its fourth entry.
eval "$(xdotool getwindowgeometry --shell "$history")"
xdotool mousemove $((X + 95)) $((Y + 65)) click 1
sleep 0.5
xdotool key Down Down Return
sleep 3
mkdir -p "$root/doc"
import -window "$history" -strip -define png:compression-level=9 "$root/doc/history-month.png"
# A night: the mouse rectangle over it.
# The night before the spike's morning lies around column 320 of the month's picture.
xdotool mousemove $((X + 313)) $((Y + 120)) mousedown 1 mousemove $((X + 316)) $((Y + 300)) \
  mousemove $((X + 323)) $((Y + 560)) mouseup 1
sleep 2
import -window "$history" -strip -define png:compression-level=9 "$root/doc/history-night.png"
cat "$work/monitor.err" >&2
ls -l "$root/doc/history-month.png" "$root/doc/history-night.png"
