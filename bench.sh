#!/usr/bin/env bash
# Builds in Release and runs the measurements in bench/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DGLOWDECK_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target glowdeck_bench control_bench web_bench
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build-release/bench/glowdeck_bench "$@"
build-release/bench/control_bench "$@"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build-release/bench/web_bench "$@"
