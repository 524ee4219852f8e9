#!/usr/bin/env bash
# CPU the panel takes while the table talks at the full line rate: the panel in a real X window
# under Xvfb, connected to glowdeck-sim --stream (22-byte lines at 115200 baud, 11,520 bytes/s),
# its process's CPU time read from /proc over a steady stretch.
#   bench/line-rate-cpu.sh [BUILD_DIR] [SECONDS]      defaults: build, 30
# GLOWDECK=path/to/glowdeck measures another build of the panel against the same table.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-30}
scripts/install-deps.sh xvfb xdotool
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
if [[ -n ${GLOWDECK:-} ]]; then
  cmake --build "$build" --target glowdeck-sim >/dev/null
else
  cmake --build "$build" --target glowdeck glowdeck-sim >/dev/null
fi
panel=${GLOWDECK:-$build/src/glowdeck}

# Xvfb picks a free display itself and names it once it is ready.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
sim='' app=''
work=$(mktemp -d)
trap 'kill $app $sim $xvfb 2>/dev/null || true; rm -rf "$work"; rm -f "$display_file"' EXIT
for _ in $(seq 200); do [[ -s $display_file ]] && break; sleep 0.05; done
[[ -s $display_file ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$build/sim/glowdeck-sim" --stream --link "$work/table" >"$work/sim.out" 2>/dev/null &
sim=$!
for _ in $(seq 50); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
device=$(head -n 1 "$work/sim.out")

"$panel" >"$work/panel.log" 2>&1 &
app=$!
main=''
for _ in $(seq 100); do
  main=$(xdotool search --onlyvisible --name '^Glowdeck$' 2>/dev/null | tail -n 1 || true)
  [[ -n $main ]] && break
  sleep 0.1
done
[[ -n $main ]] || { echo "the panel did not show its window: $(cat "$work/panel.log")" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$main")"
# Clicks the centre of a control given by its rectangle in the main window's dialog units
# (src/res/Templates.cpp, 351 x 366), scaled to the window's real size.
click() {
  local x=$(($1 + $3 / 2)) y=$(($2 + $4 / 2))
  xdotool mousemove --window "$main" $((x * WIDTH / 351)) $((y * HEIGHT / 366)) click 1
}
click 37 19 62 12 # the port list's edit field
xdotool key ctrl+a
xdotool type --delay 5 "$device"
click 17 51 84 14 # Connect
for _ in $(seq 100); do
  ls -l "/proc/$app/fd" 2>/dev/null | grep -q "$device" && break
  sleep 0.1
done
ls -l "/proc/$app/fd" | grep -q "$device" || { echo "the panel did not open $device" >&2; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Each thread of the panel: name and CPU ticks.
threads() {
  for t in /proc/"$app"/task/*; do
    printf '%s %s\n' "$(tr ' ' _ <"$t/comm")" "$(awk '{print $14 + $15}' "$t/stat")"
  done | awk '{ticks[$1] += $2} END {for (n in ticks) print n, ticks[n]}' | sort
}
sleep 3 # past the start of the stream
hz=$(getconf CLK_TCK)
threads >"$work/threads0"
p0=$(ticks "$app") s0=$(ticks "$sim") x0=$(ticks "$xvfb") t0=$(date +%s.%N)
sleep "$seconds"
p1=$(ticks "$app") s1=$(ticks "$sim") x1=$(ticks "$xvfb") t1=$(date +%s.%N)
threads >"$work/threads1"
kill -0 "$app" 2>/dev/null || { echo "the panel ended during the run" >&2; exit 1; }
share() { awk -v d="$1" -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.1f%%", 100 * d / hz / (t1 - t0) }'; }
echo "line rate 11,520 bytes/s for $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.1f", b - a}') s:" \
     "panel $(share $((p1 - p0))) of a core (simulated table $(share $((s1 - s0))), Xvfb $(share $((x1 - x0))))"
echo "the panel's threads:"
join "$work/threads0" "$work/threads1" | while read -r name before after; do
  echo "  $name $(share $((after - before)))"
done
