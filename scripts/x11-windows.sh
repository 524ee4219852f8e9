# The panel's windows under an X server, for the scripts that drive it with xdotool. Sourced; the
# caller sets $log (the program's output, shown when a window does not come) and, before click,
# WIDTH and HEIGHT (xdotool getwindowgeometry --shell).

# Prints the id of the visible window whose title matches, waiting up to 10 s for it.
window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window '$1' (program output: $(cat "$log"))" >&2
  exit 1
}
# Waits up to 10 s for the window whose title matches to go.
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "window '$1' did not close" >&2
  exit 1
}
# Clicks the centre of a control given by its rectangle in the main window's dialog units
# (src/res/Templates.cpp, 351 x 366), scaled to the window's real size.
click() {
  local x=$(($2 + $4 / 2)) y=$(($3 + $5 / 2))
  xdotool mousemove --window "$1" $((x * WIDTH / 351)) $((y * HEIGHT / 366)) click 1
}
