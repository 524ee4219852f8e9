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
source bench/session.sh
scripts/install-deps.sh xvfb
build_targets "$build" glowdeck-ctl glowdeck-sim
ctl=$build/src/glowdeck-ctl
flood=20000000

start_xvfb 1280x900
start_table "$build/sim/glowdeck-sim" table --flood "$flood"
"$panel" --control-socket "$work/control" >"$work/panel.log" 2>&1 &
app=$!
pids+=("$app")
wait_for "[[ -S $work/control ]]" 10
"$ctl" --socket "$work/control" connect "$work/table" >/dev/null

# Until the panel has used no CPU for two seconds: the flood is in and shown.
settle() {
  local last=-1 now
  while :; do
    sleep 2
    now=$(ticks "$app")
    ((now == last)) && return
    last=$now
  done
}
settle
start=$(rss_mib "$app")
printf '| log | resident memory | over the start |\n|---|---|---|\n'
printf '| empty | %s MiB | |\n' "$start"
for step in $(seq "$steps"); do
  "$ctl" --socket "$work/control" prompt %CMD:DEBUG_TEST >/dev/null
  settle
  now=$(rss_mib "$app")
  log_mib=$(awk -v b=$((step * flood)) 'BEGIN {printf "%.1f", b / 1048576}')
  printf '| %d MB | %s MiB | %s MiB (%s x the log) |\n' $((step * flood / 1000000)) "$now" \
    "$(awk -v a="$now" -v s="$start" 'BEGIN {printf "%.1f", a - s}')" \
    "$(awk -v a="$now" -v s="$start" -v l="$log_mib" 'BEGIN {printf "%.2f", (a - s) / l}')"
done
kill -0 "$app" 2>/dev/null || fail "the panel ended during the run"
