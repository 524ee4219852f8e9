#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each in turn.
#   ./fuzz.sh [SECONDS]   each target for SECONDS (default 60)
# New inputs go to build-fuzz/corpus/<target>; the seeds in fuzz/corpus/<target> stay as they
# are. A crash or broken invariant is saved as build-fuzz/artifacts/<target>-crash-* and fails
# the script; replay one with: build-fuzz/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
scripts/install-deps.sh clang libclang-rt-dev
targets=(fuzz_frame_decoder fuzz_receive_machine fuzz_request_decoder fuzz_hello_gate
         fuzz_web_head)
build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DGLOWDECK_BUILD_FUZZ=ON \
      -DGLOWDECK_BUILD_TESTS=OFF -DGLOWDECK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  options=(-max_total_time="$seconds" -print_final_stats=1 -max_len=4096
           -artifact_prefix="$build/artifacts/$target-")
  [[ $target == fuzz_frame_decoder ]] && options+=(-dict=fuzz/frame_decoder.dict)
  [[ $target == fuzz_request_decoder ]] && options+=(-dict=fuzz/request_decoder.dict)
  echo "== $target for ${seconds}s"
  "$build/fuzz/$target" "${options[@]}" "$build/corpus/$target" "fuzz/corpus/$target"
done
