#!/usr/bin/env bash
# Builds the benchmarks (optimised, with debug info) and runs every bench binary.
# BUILD_DIR overrides the build folder (default build/); extra arguments go to each binary,
# for example --benchmark_filter=Interval.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja -DCLX_BENCH=ON -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
targets=()
for src in bench/*_bench.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$dir" -j"${JOBS:-2}" --target "${targets[@]}"
for t in "${targets[@]}"; do
  echo "== $t"
  "$dir/bench/$t" "$@"
done
