#!/usr/bin/env bash
# CPU the panel takes at the full line rate beside cutecom, a common Qt serial terminal, fed the
# same stream in the same run: one Xvfb, two glowdeck-sim --stream tables (22-byte lines at
# 115200 baud, 11,520 bytes/s), one for each program, and each process's CPU time read from
# /proc over the same stretch.
#   bench/line-rate-vs-cutecom.sh [BUILD_DIR] [SECONDS]      defaults: build, 30
# GLOWDECK=path/to/glowdeck measures another build of the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-30}
scripts/install-deps.sh xvfb xdotool cutecom build-essential
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
if [[ -n ${GLOWDECK:-} ]]; then
  cmake --build "$build" --target glowdeck-sim >/dev/null
else
  cmake --build "$build" --target glowdeck glowdeck-sim >/dev/null
fi
panel=${GLOWDECK:-$build/src/glowdeck}

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cc -shared -fPIC -O2 -o "$work/pty-modem-lines.so" bench/pty-modem-lines.c -ldl

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
pids+=("$xvfb")
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

start_table() { # name; the table's device path is then in $work/name.out
  "$build/sim/glowdeck-sim" --stream >"$work/$1.out" 2>/dev/null &
  pids+=("$!")
  for _ in $(seq 50); do [[ -s $work/$1.out ]] && break; sleep 0.1; done
}
window_of() { # pid, name pattern
  local found=''
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null | tail -n 1 || true)
    [[ -n $found ]] && break
    sleep 0.1
  done
  [[ -n $found ]] || { echo "no window of $1 named $2" >&2; exit 1; }
  echo "$found"
}
wait_open() { # pid, device
  for _ in $(seq 100); do
    ls -l "/proc/$1/fd" 2>/dev/null | grep -q "$2" && return
    sleep 0.1
  done
  echo "process $1 did not open $2" >&2
  exit 1
}

# The panel, connected as the operator connects it (as bench/line-rate-cpu.sh does).
start_table panel-table
panel_table=$(head -n 1 "$work/panel-table.out")
"$panel" >"$work/panel.log" 2>&1 &
app=$!
pids+=("$app")
main=$(window_of "$app" '^Glowdeck$')
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
click() { # x, y, width, height in the main window's dialog units (351 x 366)
  local x=$(($1 + $3 / 2)) y=$(($2 + $4 / 2))
  xdotool mousemove --window "$main" $((x * WIDTH / 351)) $((y * HEIGHT / 366)) click 1
}
click 37 19 62 12 # the port list's edit field
xdotool key ctrl+a
xdotool type --delay 5 "$panel_table"
click 17 51 84 14 # Connect
wait_open "$app" "$panel_table"

# cutecom on its own table, with a session of its own that names the port, opened with its
# Open button.
start_table terminal-table
terminal_table=$(head -n 1 "$work/terminal-table.out")
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
terminal=$!
pids+=("$terminal")
terminal_window=$(window_of "$terminal" 'CuteCom')
sleep 1
xdotool mousemove --window "$terminal_window" 50 43 click 1 # Open
wait_open "$terminal" "$terminal_table"

# User and system ticks from a stat file, read after the command name (which may hold spaces).
stat_ticks() { sed 's/.*) //' "$1" | awk '{print $12 + $13}'; }
ticks() { stat_ticks "/proc/$1/stat"; }
threads() { # the panel's threads: name and CPU ticks
  for t in /proc/"$app"/task/*; do
    printf '%s %s\n' "$(tr ' ' _ <"$t/comm")" "$(stat_ticks "$t/stat")"
  done | awk '{ticks[$1] += $2} END {for (n in ticks) print n, ticks[n]}' | sort
}
sleep 3 # past the start of both streams
hz=$(getconf CLK_TCK)
threads >"$work/threads0"
p0=$(ticks "$app") c0=$(ticks "$terminal") x0=$(ticks "$xvfb") t0=$(date +%s.%N)
sleep "$seconds"
p1=$(ticks "$app") c1=$(ticks "$terminal") x1=$(ticks "$xvfb") t1=$(date +%s.%N)
threads >"$work/threads1"
for pid in "$app" "$terminal"; do
  kill -0 "$pid" 2>/dev/null || { echo "process $pid ended during the run" >&2; exit 1; }
done
share() { awk -v d="$1" -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.2f%%", 100 * d / hz / (t1 - t0) }'; }
echo "line rate 11,520 bytes/s each, for $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.1f", b - a}') s:"
echo "  panel   $(share $((p1 - p0))) of a core"
echo "  cutecom $(share $((c1 - c0))) of a core"
echo "  ratio   $(awk -v p=$((p1 - p0)) -v c=$((c1 - c0)) 'BEGIN { if (c > 0) printf "%.2f", p / c; else print "n/a" }') (panel / cutecom; Xvfb for both $(share $((x1 - x0))))"
echo "the panel's threads:"
join "$work/threads0" "$work/threads1" | while read -r name before after; do
  echo "  $name $(share $((after - before)))"
done
