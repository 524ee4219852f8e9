#!/usr/bin/env bash
# CPU the panel takes while the table talks at the full line rate, the panel alone: see
# bench/line-rate-vs-cutecom.sh.
#   bench/line-rate-cpu.sh [BUILD_DIR] [SECONDS]      defaults: build, 30
exec "$(dirname "$0")/line-rate-vs-cutecom.sh" --panel-only "$@"
