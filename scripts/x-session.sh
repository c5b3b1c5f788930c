# Sourced by the scripts that drive the monitor's windows on an X display of their own
# (bench-monitor.sh, screenshots.sh); needs $root.

# Outside the namespace: starts an Xvfb on DISPLAY unless one already serves it (ended when
# the calling script exits), then runs SCRIPT inside the namespace on that display.
run_on_display() { # NAME DISPLAY SCRIPT
  local display="$2"
  if ! DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true' EXIT
    for _ in $(seq 50); do DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  if ! DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "$1: no X display $display (Xvfb did not start)" >&2
    exit 1
  fi
  DISPLAY="$display" "$root/scripts/netns.sh" "$3"
}

# Inside: settings and history in a temporary folder ($work), so the operator's own are not
# touched; the simulator and monitor the script starts ($sim, $monitor) end with it.
inside_session() {
  work="$(mktemp -d)"
  export XDG_CONFIG_HOME="$work" XDG_STATE_HOME="$work"
  sim=""
  monitor=""
  trap 'for pid in $monitor $sim; do kill "$pid" 2>/dev/null || true; done
        wait 2>/dev/null || true
        rm -rf "$work"' EXIT
}
settings() { # PERIOD_MS: the monitor's settings, connecting to velk-boxsim's 127.0.0.2
  printf '[VelkM_main]\nRefreshRate=%s\nIP1=127\nIP2=0\nIP3=0\nIP4=2\n' "$1" > "$work/ZURazirod.ini"
}
# The main window's name goes on with its state: "Velk Monitor – not connected".
window() { xdotool search --onlyvisible --name "^$1( .*)?\$" | head -1; }
wait_window() { for _ in $(seq 100); do [ -n "$(window "$1")" ] && return 0; sleep 0.1; done; return 1; }
click_in() { # NAME X Y: a click at X,Y inside the window named NAME
  local id
  id="$(window "$1")"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
connect_monitor() { # Connect, then Ok in the address dialog
  wait_window "Velk Monitor"
  click_in "Velk Monitor" 17 18
  wait_window "IP Connection"
  click_in "IP Connection" 77 60
}
