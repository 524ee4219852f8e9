#!/usr/bin/env bash
# CPU the panel takes at the full line rate beside cutecom, a common Qt serial terminal, fed the
# same stream in the same run: one Xvfb, two glowdeck-sim --stream tables (22-byte lines at
# 115200 baud, 11,520 bytes/s), one for each program, and each process's CPU time read from
# /proc over the same stretch. With --panel-only, the panel alone against its table.
#   bench/line-rate-vs-cutecom.sh [--panel-only] [BUILD_DIR] [SECONDS]      defaults: build, 30
# GLOWDECK=path/to/glowdeck measures another build of the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
beside_cutecom=true
[[ ${1:-} == --panel-only ]] && { beside_cutecom=false; shift; }
build=${1:-build}
seconds=${2:-30}
source bench/session.sh
if $beside_cutecom; then
  scripts/install-deps.sh xvfb xdotool cutecom build-essential
else
  scripts/install-deps.sh xvfb xdotool
fi
build_targets "$build" glowdeck-sim
start_xvfb 1600x900

start_table "$build/sim/glowdeck-sim" panel-table --stream
panel_table_pid=$table_pid
"$panel" >"$work/panel.log" 2>&1 &
app=$!
pids+=("$app")
connect_by_clicks "$app" "$(device_of panel-table)"

if $beside_cutecom; then
  # cutecom on its own table, with a session of its own that names the port, opened with its
  # Open button.
  cc -shared -fPIC -O2 -o "$work/pty-modem-lines.so" bench/pty-modem-lines.c -ldl
  start_table "$build/sim/glowdeck-sim" terminal-table --stream
  terminal_table=$(device_of terminal-table)
  mkdir -p "$work/config/CuteCom"
  cat >"$work/config/CuteCom/CuteCom5.conf" <<EOF
[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device=$terminal_table
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
EOF
  XDG_CONFIG_HOME=$work/config LD_PRELOAD=$work/pty-modem-lines.so cutecom >"$work/cutecom.log" 2>&1 &
  beside=$!
  pids+=("$beside")
  terminal_window=$(window_of "$beside" 'CuteCom')
  sleep 1
  xdotool mousemove --window "$terminal_window" 50 43 click 1 # Open
  wait_open "$beside" "$terminal_table"
else
  beside=$panel_table_pid
fi

sleep 3 # past the start of the streams
thread_ticks "$app" >"$work/threads0"
p0=$(ticks "$app") c0=$(ticks "$beside") x0=$(ticks "$xvfb") t0=$(date +%s.%N)
sleep "$seconds"
p1=$(ticks "$app") c1=$(ticks "$beside") x1=$(ticks "$xvfb") t1=$(date +%s.%N)
thread_ticks "$app" >"$work/threads1"
for pid in "$app" "$beside"; do
  kill -0 "$pid" 2>/dev/null || fail "process $pid ended during the run"
done
span=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b - a}')
if $beside_cutecom; then
  echo "line rate 11,520 bytes/s each, for $(printf %.1f "$span") s:"
  echo "  panel   $(share $((p1 - p0)) "$span") of a core"
  echo "  cutecom $(share $((c1 - c0)) "$span") of a core"
  echo "  ratio   $(awk -v p=$((p1 - p0)) -v c=$((c1 - c0)) 'BEGIN { if (c > 0) printf "%.2f", p / c; else print "n/a" }') (panel / cutecom; Xvfb for both $(share $((x1 - x0)) "$span"))"
else
  echo "line rate 11,520 bytes/s for $(printf %.1f "$span") s:" \
       "panel $(share $((p1 - p0)) "$span") of a core (simulated table $(share $((c1 - c0)) "$span"), Xvfb $(share $((x1 - x0)) "$span"))"
fi
echo "the panel's threads:"
thread_shares "$work/threads0" "$work/threads1" "$span"
