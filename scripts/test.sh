#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. SANITIZE=1 runs them under
# address and undefined-behaviour sanitizers in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
dir=build; [ "${SANITIZE:-0}" = 1 ] && dir=build-asan
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
