#!/usr/bin/env bash
# How the window manager sees the panel's windows under a real X server (Xvfb): the main window
# is a normal application window (no transient owner, a minimise box, no maximise box, a
# resizable frame); the debugger and the settings dialog are dialogs owned by it.
#   tests/x11/window-types.sh PATH/TO/glowdeck
# Exits 77 (skipped) when Xvfb, xdotool or xprop is missing.
set -euo pipefail
panel=$1
for tool in Xvfb xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

# Xvfb picks a free display itself and names it once it is ready.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
app=''
log=$(mktemp)
trap 'kill $app $xvfb 2>/dev/null || true; rm -f "$log"; rm -f "$display_file"' EXIT
for _ in $(seq 200); do [[ -s $display_file ]] && break; sleep 0.05; done
[[ -s $display_file ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
source "$(dirname "$0")/../../scripts/x11-windows.sh"
# Motif hints as numbers: flags functions decorations.
motif() {
  xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= //p' | tr -d ',' | awk '{print $1, $2, $3}'
}

"$panel" --simulate >"$log" 2>&1 &
app=$!
main=$(window '^Glowdeck$')
props=$(xprop -id "$main")
grep -q '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL$' <<<"$props" ||
  fail "main window type: $(grep _NET_WM_WINDOW_TYPE <<<"$props")"
grep -q '^WM_TRANSIENT_FOR' <<<"$props" && fail "main window is transient: $(grep WM_TRANSIENT_FOR <<<"$props")"
grep -q '_NET_WM_STATE_MODAL' <<<"$props" && fail "main window is modal"
read -r flags functions decorations < <(motif "$main")
# Functions: 1 all (the rest then excluded), 2 resize, 8 minimise, 16 maximise, 32 close.
(( (flags & 1) && !(functions & 1) )) || fail "main window functions not listed: $flags $functions"
(( functions & 2 )) || fail "main window cannot be resized ($functions)"
(( functions & 8 )) || fail "main window cannot be minimised ($functions)"
(( functions & 16 )) && fail "main window can be maximised ($functions)"
(( functions & 32 )) || fail "main window cannot be closed ($functions)"
# Decorations: 32 minimise box, 64 maximise box.
if (( flags & 2 )); then
  (( decorations & 32 )) || fail "main window has no minimise box ($decorations)"
  (( decorations & 64 )) && fail "main window has a maximise box ($decorations)"
fi
hints=$(xprop -id "$main" WM_NORMAL_HINTS)
minimum=$(sed -n 's/.*program specified minimum size: //p' <<<"$hints")
maximum=$(sed -n 's/.*program specified maximum size: //p' <<<"$hints")
[[ -n $maximum && $maximum == "$minimum" ]] && fail "main window has a fixed size $maximum"

eval "$(xdotool getwindowgeometry --shell "$main")"
# The panel handles the clicks in order, and connecting is done within the first one.
click "$main" 17 51 84 14 # Connect
check_dialog() {
  local id=$1 name=$2 dprops
  dprops=$(xprop -id "$id")
  grep -q '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DIALOG' <<<"$dprops" ||
    fail "$name type: $(grep _NET_WM_WINDOW_TYPE <<<"$dprops")"
  local owner
  owner=$(sed -n 's/^WM_TRANSIENT_FOR(WINDOW): window id # //p' <<<"$dprops")
  [[ -n $owner ]] && (( owner == main )) || fail "$name is owned by '${owner:-nothing}', not the main window ($main)"
}
click "$main" 7 342 50 14 # Settings
settings=$(window '^Settings$')
check_dialog "$settings" "settings dialog"
xdotool windowfocus --sync "$settings" key Escape
gone "^Settings$"

# With no window manager nothing hands the focus back when the dialog closes: give it to the
# main window before typing, or the keys go nowhere and the Debug button never shows.
xdotool windowfocus --sync "$main"
click "$main" 122 342 221 14 # the prompt line
xdotool type --delay 10 '%DEBUG:ENABLE'
xdotool key Return
debugger=''
# A click that comes before the typed line has shown the button is lost; click again after a
# while, never while the debugger may already be opening over the main window.
for _ in $(seq 5); do
  click "$main" 62 342 50 14 # Debug
  for _ in $(seq 30); do
    debugger=$(xdotool search --onlyvisible --name 'Debugger$' 2>/dev/null | tail -n 1 || true)
    [[ -n $debugger ]] && break 2
    sleep 0.1
  done
done
[[ -n $debugger ]] || debugger=$(window 'Debugger$')
check_dialog "$debugger" "debugger"
xdotool windowfocus --sync "$debugger" key Escape

if (( failures )); then
  exit 1
fi
echo "main window normal with minimise and no maximise; both dialogs owned by it"
