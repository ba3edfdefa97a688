#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless, after a short
# run of every fuzz target (a target that stops building or fails at once).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/fuzz.sh 20
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
