#!/usr/bin/env bash
# The demo, inside the private network namespace: velk-boxsim on 127.0.0.2, a mail sink on
# 127.0.0.1:25 that prints every mail it receives, and the monitor with settings of its own.
# Lines typed in the terminal restart the simulator with those options.
set -euo pipefail
bin="$1"
config="$2"

# The demo keeps its settings apart from the operator's own: a 2 s period, alarm mail to the
# sink, and the vacuum alarm on, so that a forced vacuum raises an alarm at once.
mkdir -p "$config"
if [ ! -f "$config/ZURazirod.ini" ]; then
  cat > "$config/ZURazirod.ini" <<'EOF'
[VelkM_main]
RefreshRate=2000
IP1=127
IP2=0
IP3=0
IP4=2
[VelkM_alarm]
alarmvacuum=1
alarmvacuummin=0
alarmvacuummax=1E-4
SendAnEmailOnAlarm=1
EMailAddress=operator@localhost
SMTPServer=127.0.0.1
EOF
fi

pids=()
sim=""
cleanup() {
  for pid in "${pids[@]}" $sim; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

/usr/bin/python3 -m aiosmtpd -n -l 127.0.0.1:25 -c aiosmtpd.handlers.Debugging &
pids+=($!)

start_sim() { # options...
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  "$bin/velk-boxsim" --address 127.0.0.2 "$@" &
  sim=$!
}
start_sim

# Its history, too, stays apart from the operator's (beside the settings folder).
XDG_CONFIG_HOME="$config" XDG_STATE_HOME="$(dirname "$config")/demo-state" "$bin/velk-monitor" &
monitor=$!
pids+=($monitor)

cat <<'EOF'

Velk Monitor demo. In the window press Connect, then Ok: the readings of the simulated box
appear within one period (2 s). Every alarm mail is printed here by the mail sink.

Type velk-boxsim options and Enter to restart the simulator with them, for example
  --force vacuum=2e-3        the vacuum out of its alarm limit: an alarm and its mail
  --silent controller2       the nitrogen-output controller stops answering
The monitor sees the restarted box at its next reading, logs one line that the connection
was lost, connects again by itself and logs one line when it is back: the readings are
live again within a few seconds. An empty line restarts the simulator as it was at first.
Closing the window ends the demo.

EOF
while kill -0 "$monitor" 2>/dev/null; do
  if read -r -t 1 line; then
    # shellcheck disable=SC2086 # the line is a list of options
    start_sim $line
    echo "velk-boxsim restarted with: ${line:-its defaults}"
  elif [ $? -le 128 ]; then
    # The terminal is closed: leave the simulator as it is until the window closes.
    wait "$monitor" || true
    break
  fi
done
