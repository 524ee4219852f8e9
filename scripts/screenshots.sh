#!/usr/bin/env bash
# Takes the README's screenshots: the panel on its simulated table in a real X window under Xvfb,
# connected and with a few commands typed, then the debugger and the settings dialog.
#   scripts/screenshots.sh [BUILD_DIR]      default: build; writes docs/screenshots/*.png
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/screenshots
scripts/install-deps.sh xvfb xdotool imagemagick
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target glowdeck >/dev/null
mkdir -p "$out"

for n in $(seq 71 98); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=''
log=$(mktemp)
trap 'kill $app $xvfb 2>/dev/null || true; rm -f "$log"' EXIT
export DISPLAY=":$n"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done

source scripts/x11-windows.sh
shoot() {
  sleep 0.5
  local raw
  raw=$(mktemp --suffix=.png)
  import -window "$1" "$raw"
  # Without the time chunks a shot that did not change leaves the file unchanged.
  convert "$raw" -strip -define png:exclude-chunks=date,time "$out/$2.png"
  rm -f "$raw"
  echo "saved $out/$2.png"
}

"$build/src/glowdeck" --simulate >"$log" 2>&1 &
app=$!
main=$(window '^Glowdeck$')
eval "$(xdotool getwindowgeometry --shell "$main")"

click "$main" 17 51 84 14 # Connect
sleep 1
click "$main" 122 342 221 14 # the prompt line
for line in '%VERSION:READ' '%DEBUG:ENABLE'; do
  xdotool type --delay 20 "$line"
  xdotool key Return
  sleep 0.5
done
shoot "$main" main

click "$main" 62 342 50 14 # Debug
debugger=$(window 'Debugger$')
shoot "$debugger" debugger
xdotool windowfocus --sync "$debugger"
xdotool key Escape
gone 'Debugger$'

click "$main" 7 342 50 14 # Settings
settings=$(window '^Settings$')
shoot "$settings" settings
xdotool windowfocus --sync "$settings"
xdotool key Escape
gone '^Settings$'
