#!/usr/bin/env bash
# Resident memory of the panel's window as its log grows, measured from outside: the panel in a
# real X window under Xvfb, connected to glowdeck-sim --flood, which answers each debug test with
# 20 MB of random bytes (every byte value but NUL reaches the log, lines of any length). Its RSS
# is read from /proc at the start, at 20 MB and after each further 20 MB up to 200 MB.
#   bench/log-memory.sh [BUILD_DIR] [STEPS]      defaults: build, 10 (200 MB)
# GLOWDECK=path/to/glowdeck measures another build of the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
steps=${2:-10}
scripts/install-deps.sh xvfb
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target glowdeck glowdeck-ctl glowdeck-sim >/dev/null
panel=${GLOWDECK:-$build/src/glowdeck}
ctl=$build/src/glowdeck-ctl
flood=20000000

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$build/sim/glowdeck-sim" --link "$work/table" --flood "$flood" >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 100); do [[ -L $work/table ]] && break; sleep 0.1; done
"$panel" --control-socket "$work/control" >"$work/panel.log" 2>&1 &
app=$!
pids+=("$app")
for _ in $(seq 100); do [[ -S $work/control ]] && break; sleep 0.1; done
"$ctl" --socket "$work/control" connect "$work/table" >/dev/null

rss_mib() { awk '/^VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$app/status"; }
ticks() { sed 's/.*) //' "/proc/$app/stat" | awk '{print $12 + $13}'; }
# Until the panel has used no CPU for two seconds: the flood is in and shown.
settle() {
  local last=-1 now
  while :; do
    sleep 2
    now=$(ticks)
    ((now == last)) && return
    last=$now
  done
}
settle
start=$(rss_mib)
printf '| log | resident memory | over the start |\n|---|---|---|\n'
printf '| empty | %s MiB | |\n' "$start"
for step in $(seq "$steps"); do
  "$ctl" --socket "$work/control" prompt %CMD:DEBUG_TEST >/dev/null
  settle
  now=$(rss_mib)
  log_mib=$(awk -v b=$((step * flood)) 'BEGIN {printf "%.1f", b / 1048576}')
  printf '| %d MB | %s MiB | %s MiB (%s x the log) |\n' $((step * flood / 1000000)) "$now" \
    "$(awk -v a="$now" -v s="$start" 'BEGIN {printf "%.1f", a - s}')" \
    "$(awk -v a="$now" -v s="$start" -v l="$log_mib" 'BEGIN {printf "%.2f", (a - s) / l}')"
done
kill -0 "$app" 2>/dev/null || { echo "the panel ended during the run" >&2; exit 1; }
