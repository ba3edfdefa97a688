#!/usr/bin/env bash
# Configures and builds Morvel, its tools and its tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
# MORVEL_WERROR=ON turns warnings into errors (scripts/test.sh does); once
# set it stays in build/ until set otherwise.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${MORVEL_WERROR:+-DMORVEL_WERROR=$MORVEL_WERROR} >/dev/null
cmake --build build -j"$(nproc)"
