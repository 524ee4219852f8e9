#!/usr/bin/env bash
# Resident memory and CPU of a panel beside the table, as processes against glowdeck-sim:
# headless connected and idle, headless while reconnect attempts run, the window connected and
# idle (offscreen), and headless before and after an hour of text at 115200 baud (41,472,000
# bytes, sent as fast as the pseudo-terminal takes them).
#   bench/headless-figures.sh [BUILD_DIR] [IDLE_SECONDS]
set -euo pipefail
build=${1:-build}
idle=${2:-30}
bin=$build/src
sim=$build/sim/glowdeck-sim
# shellcheck source=bench/session.sh
source "$(dirname "$0")/session.sh"

# CPU-seconds a minute over the given seconds.
cpu_per_minute() {
  local pid=$1 seconds=$2 before after
  before=$(ticks "$pid")
  sleep "$seconds"
  after=$(ticks "$pid")
  awk -v t="$((after - before))" -v hz="$hz" -v s="$seconds" \
    'BEGIN {printf "%.3f", t / hz * 60 / s}'
}
row() { printf '| %-52s | %10s | %16s |\n' "$1" "$2" "$3"; }

row "panel" "RSS (MB)" "CPU-s per minute"
row "---" "---" "---"

# Headless, connected and idle.
start_table "$sim" table
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/glowdeck" --headless \
  --port "$work/table" --control-socket "$work/headless" >"$work/out" 2>"$work/err" &
panel=$!
pids+=("$panel")
wait_for "grep -q 'Connection Successful' $work/out" 10
sleep 2
row "headless, connected, idle" "$(rss_mib $panel)" "$(cpu_per_minute $panel "$idle")"
kill $panel

# Headless, trying a port that is not there.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/glowdeck" --headless --reconnect \
  --port "$work/missing" --control-socket "$work/trying" >"$work/out2" 2>/dev/null &
panel=$!
pids+=("$panel")
wait_for "grep -q 'Reconnecting' $work/out2" 10
row "headless, reconnect attempts running (first ${idle} s)" "$(rss_mib $panel)" \
  "$(cpu_per_minute $panel "$idle")"
row "headless, reconnect attempts every 10 s" "$(rss_mib $panel)" "$(cpu_per_minute $panel "$idle")"
kill $panel

# The window, connected and idle.
QT_QPA_PLATFORM=offscreen "$bin/glowdeck" --control-socket "$work/window" >/dev/null 2>&1 &
panel=$!
pids+=("$panel")
wait_for "[[ -S $work/window ]]" 10
"$bin/glowdeck-ctl" --socket "$work/window" connect "$work/table" >/dev/null
sleep 2
row "window (offscreen), connected, idle" "$(rss_mib $panel)" "$(cpu_per_minute $panel "$idle")"
"$bin/glowdeck-ctl" --socket "$work/window" disconnect >/dev/null
kill $panel

# Headless through an hour of text.
bytes=41472000
start_table "$sim" flood --flood "$bytes"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/glowdeck" --headless \
  --port "$work/flood" --control-socket "$work/flooded" >"$work/text" 2>/dev/null &
panel=$!
pids+=("$panel")
wait_for "grep -q 'Connection Successful' $work/text" 10
sleep 1
before=$(rss_mib $panel)
start=$(date +%s.%N)
"$bin/glowdeck-ctl" --socket "$work/flooded" prompt %CMD:DEBUG_TEST >/dev/null
# Every byte but the NULs reaches stdout; wait until the text stops coming.
last=-1
while :; do
  size=$(stat -c %s "$work/text")
  ((size == last)) && break
  last=$size
  sleep 1
done
seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {printf "%.1f", e - s - 1}')
after=$(rss_mib $panel)
row "headless, before 41 MB of text" "$before" ""
row "headless, after 41 MB of text ($((last / 1000000)) MB on stdout, ${seconds} s)" "$after" ""
kill $panel
