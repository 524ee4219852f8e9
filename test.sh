#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   ./test.sh                              the normal suite
#   ./test.sh --stress                     the normal suite and the long stress tests
#   ./test.sh --sanitize=address,undefined a sanitizer build in its own folder
#   ./test.sh --sanitize=thread
set -euo pipefail
cd "$(dirname "$0")"
sanitize=''; stress=0
for arg in "$@"; do
  case $arg in
    --sanitize=*) sanitize=${arg#--sanitize=} ;;
    --stress) stress=1 ;;
    *) echo "unknown option $arg" >&2; exit 2 ;;
  esac
done
scripts/install-deps.sh
build=build
[[ -n $sanitize ]] && build="build-${sanitize//,/-}"
cmake -S . -B "$build" -DGLOWDECK_SANITIZE="$sanitize" -DGLOWDECK_BUILD_BENCH=OFF \
      -DGLOWDECK_WERROR="${GLOWDECK_WERROR:-OFF}" >/dev/null
# Set before the build: it runs sanitized programs too (the icon renderer).
if [[ $sanitize == *thread* ]]; then
  # Qt is not built with TSan: accesses that its own code makes through intercepted calls
  # (malloc, free, memcpy) are ignored, and tsan.supp names what of Qt's own work is left. The
  # tests start helper programs (D-Bus, BlueZ played by python) with fork and exec at once.
  export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 die_after_fork=0 suppressions=$PWD/tsan.supp}"
fi
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
label=(-LE stress)
[[ $stress -eq 1 ]] && label=()
# Most tests wait on a pseudo-terminal, a socket or a timer rather than compute: four at a time on
# each core keep it busy. Sanitized tests compute several times as much and their timing is what
# the sanitizers are there to shake; one a core leaves them room.
jobs=$(( $(nproc) * 4 ))
[[ -n $sanitize ]] && jobs=$(nproc)
ctest --test-dir "$build" --output-on-failure -j"$jobs" "${label[@]}"
