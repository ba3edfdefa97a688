#!/usr/bin/env bash
# Configures and builds Morvel, its tools and its tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
# Ninja where installed: it builds faster on two cores. A build folder made
# earlier keeps the generator it was made with (CMake refuses a change).
generator=()
if [ ! -f build/CMakeCache.txt ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
# MORVEL_WERROR=ON turns warnings into errors (scripts/test.sh does); once
# set it stays in build/ until set otherwise.
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${MORVEL_WERROR:+-DMORVEL_WERROR=$MORVEL_WERROR} >/dev/null
cmake --build build -j"$(nproc)"
