#!/usr/bin/env bash
# Builds everything, failing on any compiler warning, and runs the whole test
# suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
MORVEL_WERROR=ON scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
