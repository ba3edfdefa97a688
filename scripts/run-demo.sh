#!/usr/bin/env bash
# Builds Morvel, writes the demo stock beside the executable, points the
# configuration file at it (only when there is none yet) and starts Morvel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build/morvel-mkdb demo build/demo
if [ ! -e build/morvel.INI ]; then
  printf '[BD]\r\nPathToBD=%s\r\n' "$PWD/build/demo/tools.mdb" > build/morvel.INI
fi
exec build/morvel
