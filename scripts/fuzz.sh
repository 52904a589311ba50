#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs one of them for N seconds.
#   scripts/fuzz.sh <target> [seconds=60] [libFuzzer options...]
# Seeds come from fuzz/corpus/<target>/ (never written to); new inputs go to
# build-fuzz/corpus/<target>/ and crashing inputs to build-fuzz/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh <target> [seconds] [libFuzzer options...]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
dir=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCLX_FUZZ=ON -DBUILD_TESTING=OFF -DCLX_BENCH=OFF >/dev/null
cmake --build "$dir" -j"${FUZZ_JOBS:-$(nproc)}" --target "$target"
mkdir -p "$dir/corpus/$target" "$dir/artifacts/$target" "fuzz/corpus/$target"
exec "$dir/fuzz/$target" -max_total_time="$seconds" -artifact_prefix="$dir/artifacts/$target/" "$@" \
    "$dir/corpus/$target" "fuzz/corpus/$target"
