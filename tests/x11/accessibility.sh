#!/usr/bin/env bash
# The panel's accessibility tree read from outside over AT-SPI, under Xvfb and a private D-Bus
# session, as a screen reader would read it (accessible-tree.py says what is checked).
#   tests/x11/accessibility.sh PATH/TO/glowdeck [PATH/TO/glowdeck-ctl]
# Without glowdeck-ctl the received-data log is read as it is at the start only.
# Exits 77 (skipped) when Xvfb, D-Bus, the AT-SPI bus or python3-pyatspi is missing.
set -euo pipefail
panel=$1
ctl=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
# The system's Python, which the Debian package of pyatspi belongs to.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
for tool in Xvfb dbus-run-session dbus-send "$python"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[[ -x $launcher ]] || { echo "skipped: at-spi2-core is not installed"; exit 77; }
"$python" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }

# Xvfb picks a free display itself and names it once it is ready.
display_file=$(mktemp)
control_dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$display_file"; rm -rf "$control_dir"' EXIT
for _ in $(seq 200); do [[ -s $display_file ]] && break; sleep 0.05; done
[[ -s $display_file ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Scripts drive the panel through its control socket where the log needs text from the table.
export PANEL=$panel LAUNCHER=$launcher HERE=$here PYTHON=$python CTL=$ctl
export CONTROL_SOCKET=$control_dir/control
dbus-run-session -- bash -c '
  "$LAUNCHER" --launch-immediately >/dev/null 2>&1 &
  bus=$!
  # The panel looks for the accessibility bus once, at its start.
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$PANEL" --simulate --control \
    --control-socket "$CONTROL_SOCKET" >"${PANEL_LOG:-/dev/null}" 2>&1 &
  app=$!
  status=0
  "$PYTHON" "$HERE/accessible-tree.py" || status=$?
  kill $app $bus 2>/dev/null || true
  exit $status
'
