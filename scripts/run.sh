#!/usr/bin/env bash
# Starts the jukebox from the build folder; until the window exists, scans the bundled charts.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -x "$build/src/app/jov01" ]; then
  exec "$build/src/app/jov01"
fi
"$build/src/tool/jov01-tool" scan "$here"/tests/data/charts/*.bm[se]
