#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel on the simulated table.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
exec build/src/glowdeck --simulate "$@"
