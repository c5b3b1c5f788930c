#!/usr/bin/env bash
# The README's pictures of the program, taken on an X display of their own (Xvfb) inside the
# private network namespace, against velk-boxsim:
#   doc/main-window.png   the main window connected, with readings;
#   doc/graph-window.png  the LN2 level graph window after three hours of history.
# The three hours pass in a minute and a half: the simulator's cold source runs 120 times
# faster (--speed 120) and so does the monitor's wall clock (libfaketime), while its timers
# and time-outs keep real time. Every point comes from the monitor's own display updates.
#   scripts/screenshots.sh   (SHOTS_DISPLAY=:N: the X display, default :97; an Xvfb is
#                             started there unless one already serves it; SHOTS_HOURS=3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/x-session.sh"
speed=120
period_ms=500
hours="${SHOTS_HOURS:-3}"

if [ "${VELK_IN_NETNS:-}" != 1 ]; then
  "$root/scripts/install-deps.sh" faketime imagemagick
  BUILD_TARGETS="velk-monitor velk-boxsim" "$root/scripts/build.sh" "$root/build"
  run_on_display screenshots "${SHOTS_DISPLAY:-:97}" "$0"
  exit
fi

bin="$root/build/bin"
inside_session
shoot() { # WINDOW-ID FILE: a small PNG of the window alone
  import -window "$1" -strip -define png:compression-level=9 "$2"
}

settings "$period_ms"
"$bin/velk-boxsim" --address 127.0.0.2 --speed "$speed" --seed 7 &
sim=$!
# Only the wall clock runs faster: the monotonic clock of the timers and time-outs does not.
# Preloaded by hand (the faketime wrapper would stand between us and the monitor's pid).
LD_PRELOAD="$(dpkg -L libfaketime | grep '/libfaketime.so.1$')" \
  FAKETIME="@2024-05-01 06:00:00 x$speed" FAKETIME_DONT_FAKE_MONOTONIC=1 \
  "$bin/velk-monitor" 2>"$work/monitor.err" &
monitor=$!
connect_monitor
sleep 1
main="$(window "Velk Monitor")"
click_in "Velk Monitor" 275 160 # LN2 Level (%): its graph window
sleep "$(awk "BEGIN {print $hours * 3600 / $speed}")"

graph="$(xdotool search --onlyvisible --pid "$monitor" | grep -vx "$main" | head -1)"
# Side by side: a window is taken as the screen shows it.
xdotool windowmove "$graph" 0 0
xdotool windowmove "$main" 640 0
sleep 0.5
mkdir -p "$root/doc"
shoot "$main" "$root/doc/main-window.png"
shoot "$graph" "$root/doc/graph-window.png"
cat "$work/monitor.err" >&2
ls -l "$root/doc/main-window.png" "$root/doc/graph-window.png"
