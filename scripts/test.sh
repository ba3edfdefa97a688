#!/usr/bin/env bash
# Builds everything, failing on any compiler warning, and runs the whole test
# suite headless, after a short run of every fuzz target (a target that stops
# building or fails at once).
set -euo pipefail
cd "$(dirname "$0")/.."
MORVEL_WERROR=ON scripts/build.sh
scripts/fuzz.sh 20
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
