# Sourced by the bench scripts: a work folder and the processes started in it, ended and removed
# on exit; Xvfb, simulated tables, the panel connected by clicks; CPU and memory read from /proc.
# shellcheck shell=bash

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "$*" >&2; exit 1; }

wait_for() { # condition, seconds
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    ((SECONDS < deadline)) || fail "timed out waiting for: $1"
    sleep 0.1
  done
}

# Configures BUILD_DIR if it is new and brings the targets up to date; the panel too unless
# GLOWDECK names another build of it, which $panel then is.
build_targets() { # build dir, targets
  local build=$1
  shift
  [[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
  [[ -n ${GLOWDECK:-} ]] || set -- glowdeck "$@"
  cmake --build "$build" --target "$@" >/dev/null
  # shellcheck disable=SC2034 # for the script that sources this
  panel=${GLOWDECK:-$build/src/glowdeck}
}

start_xvfb() { # screen size; Xvfb's pid is then $xvfb
  # Xvfb picks a free display itself and names it once it is ready.
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  pids+=("$xvfb")
  wait_for "[[ -s $work/display ]]" 10
  DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
  export DISPLAY
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
}

# A simulated table linked at $work/NAME, its pid then in $table_pid and the device it prints in
# $work/NAME.out.
start_table() { # sim, name, more options
  local sim=$1 name=$2
  shift 2
  "$sim" --link "$work/$name" "$@" >"$work/$name.out" 2>/dev/null &
  table_pid=$!
  pids+=("$table_pid")
  wait_for "[[ -L $work/$name && -s $work/$name.out ]]" 10
}
device_of() { head -n 1 "$work/$1.out"; }

window_of() { # pid, name pattern
  local found=''
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null | tail -n 1 || true)
    [[ -n $found ]] && break
    sleep 0.1
  done
  [[ -n $found ]] || fail "no window of $1 named $2"
  echo "$found"
}

wait_open() { # pid, device
  wait_for "ls -l /proc/$1/fd 2>/dev/null | grep -q ' $2\$'" 10
}

# Connects the panel (pid) to the device as the operator does: the device typed into the port
# list, then Connect, both clicked where the main window's template puts them.
connect_by_clicks() { # pid, device
  local main WIDTH HEIGHT
  main=$(window_of "$1" '^Glowdeck$')
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(WIDTH|HEIGHT)=')"
  click() { # x, y, width, height in the main window's dialog units (351 x 366)
    local x=$(($1 + $3 / 2)) y=$(($2 + $4 / 2))
    xdotool mousemove --window "$main" $((x * WIDTH / 351)) $((y * HEIGHT / 366)) click 1
  }
  click 37 19 62 12 # the port list's edit field
  xdotool key ctrl+a
  xdotool type --delay 5 "$2"
  click 17 51 84 14 # Connect
  wait_open "$1" "$2"
}

# User and system ticks from a stat file, read after the command name (which may hold spaces).
stat_ticks() { sed 's/.*) //' "$1" | awk '{print $12 + $13}'; }
ticks() { stat_ticks "/proc/$1/stat"; }
thread_ticks() { # pid; each thread's name and CPU ticks, threads of one name added up
  local t
  for t in /proc/"$1"/task/*; do
    printf '%s %s\n' "$(tr ' ' _ <"$t/comm")" "$(stat_ticks "$t/stat")"
  done | awk '{ticks[$1] += $2} END {for (n in ticks) print n, ticks[n]}' | sort
}
hz=$(getconf CLK_TCK)
share() { # ticks, seconds: percent of one core
  awk -v d="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.2f%%", 100 * d / hz / s }'
}
thread_shares() { # ticks before, ticks after (from thread_ticks), seconds
  join "$1" "$2" | while read -r name before after; do
    echo "  $name $(share $((after - before)) "$3")"
  done
}

rss_mib() { awk '/^VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }
