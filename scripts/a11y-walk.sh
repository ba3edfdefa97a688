#!/usr/bin/env bash
# Shows what a screen reader finds in Morvel: starts it on the demo stock
# under Xvfb with the AT-SPI accessibility bus and prints every page's tree
# as scripts/atspi_walk.py walks it. Needs a built build/ (scripts/build.sh)
# and the packages setup.sh installs. Usage: scripts/a11y-walk.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
scripts=$PWD/scripts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A folder of its own: the program, its fallback pictures, the demo stock
# and a configuration file naming it.
cp "$build/morvel" "$work/"
cp -r "$build/Images" "$work/"
"$build/morvel-mkdb" demo "$work/demo" >/dev/null
printf '[BD]\r\nPathToBD=%s\r\n' "$work/demo/tools.mdb" > "$work/morvel.INI"

export WORK=$work SCRIPTS=$scripts
xvfb-run -a -s "-screen 0 1400x900x24" dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  bus=$!
  sleep 1
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$WORK/morvel" >"$WORK/morvel.log" 2>&1 &
  morvel=$!
  status=0
  /usr/bin/python3 "$SCRIPTS/atspi_walk.py" morvel || status=$?
  kill "$morvel" "$bus" 2>/dev/null || true
  exit $status
'
