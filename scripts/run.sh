#!/usr/bin/env bash
# Starts the jukebox from the build folder. A first start lists the demo charts by itself
# (they are copied beside the program), so Play makes music at once.
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")/.." && pwd)
app="$build/src"
if [ -x "$app/jov01" ]; then
  exec "$app/jov01" "$@"
fi
echo "The window is not built yet; scanning the bundled charts instead." >&2
exec "$build/src/jov01-tool" scan "$here"/assets/demo/*.bms "$here"/tests/data/charts/*.bm[se]
