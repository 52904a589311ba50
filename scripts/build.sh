#!/usr/bin/env bash
# Configures and builds Chronolex into build/ (or build-asan/ with SANITIZE=1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build; extra=()
if [ "${SANITIZE:-0}" = 1 ]; then dir=build-asan; extra+=(-DCLX_SANITIZE=ON -DCLX_BENCH=OFF); fi
cmake -S . -B "$dir" -G Ninja "${extra[@]}" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$dir" -j"$(nproc)"
