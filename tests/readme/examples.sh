#!/usr/bin/env bash
# Runs the README's scripting examples as a reader would, in order, against a fresh panel on the
# simulated table: the shell example line by line, each of which must end with status 0, then
# the Python example. An example is the fenced block after a "<!-- example: NAME ... -->" line.
#   tests/readme/examples.sh README.md PATH/TO/glowdeck PATH/TO/glowdeck-ctl
# Exits 77 (skipped) when python3 is missing.
set -uo pipefail
readme=$1 panel=$2 ctl=$3
command -v python3 >/dev/null || { echo "skipped: python3 is not installed"; exit 77; }

example() {
  awk -v marker="<!-- example: $1 " '
    index($0, marker) == 1 { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$readme"
}
shell_example=$(example sh)
python_example=$(example python)
if [[ -z $shell_example || -z $python_example ]]; then
  echo "FAIL: the README's examples are not marked" >&2
  exit 1
fi

# The examples name no socket: the default one, in a runtime folder of the test's own. The dump
# goes to ~, so home is the test's too.
scratch=$(mktemp -d)
panel_pid='' follow_pid=''
trap 'kill $follow_pid $panel_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/run" "$scratch/home"
export XDG_RUNTIME_DIR=$scratch/run HOME=$scratch/home QT_QPA_PLATFORM=offscreen
PATH=$(dirname "$ctl"):$PATH
export PATH

"$panel" --simulate --control >"$scratch/panel.log" 2>&1 &
panel_pid=$!
for _ in $(seq 200); do
  glowdeck-ctl status >/dev/null 2>&1 && break
  kill -0 "$panel_pid" 2>/dev/null || break
  sleep 0.05
done
if ! glowdeck-ctl status >/dev/null 2>&1; then
  echo "FAIL: the panel did not listen: $(cat "$scratch/panel.log")" >&2
  exit 1
fi

failures=0
while IFS= read -r line; do
  [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
  echo "\$ $line"
  if [[ $line == "glowdeck-ctl follow"* ]]; then
    # It runs until Ctrl+C: it must still be running once the table's answer has come through it.
    bash -c "exec $line" >"$scratch/follow.out" 2>&1 </dev/null &
    follow_pid=$!
    for _ in $(seq 100); do
      grep -q "Firmware version" "$scratch/follow.out" && break
      kill -0 "$follow_pid" 2>/dev/null || break
      glowdeck-ctl prompt %VERSION:READ >/dev/null
      sleep 0.1
    done
    cat "$scratch/follow.out"
    # SIGTERM: a job started in the background of a script ignores SIGINT.
    if grep -q "Firmware version" "$scratch/follow.out" && kill -TERM "$follow_pid" 2>/dev/null
    then
      wait "$follow_pid"
    else
      echo "FAIL: follow printed no answer of the table" >&2
      failures=$((failures + 1))
    fi
    follow_pid=''
  else
    timeout 60 bash -c "$line" </dev/null
    status=$?
    if ((status != 0)); then
      echo "FAIL: ended with status $status" >&2
      failures=$((failures + 1))
    fi
  fi
done <<<"$shell_example"

echo "\$ python3 (the Python example)"
timeout 60 python3 - <<<"$python_example"
status=$?
if ((status != 0)); then
  echo "FAIL: ended with status $status" >&2
  failures=$((failures + 1))
fi

if ! kill -0 "$panel_pid" 2>/dev/null; then
  echo "FAIL: the panel ended: $(cat "$scratch/panel.log")" >&2
  failures=$((failures + 1))
fi
echo "README examples: $failures failed"
[[ $failures -eq 0 ]]
