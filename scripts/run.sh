#!/usr/bin/env bash
# Starts the jukebox from the build folder. On the first run it writes a default list
# of the demo charts beside the program, so Play makes music at once.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")/.." && pwd)
app="$build/src"
if [ ! -e "$app/default.rxl" ] && [ -x "$build/src/jov01-tool" ]; then
  "$build/src/jov01-tool" list --write "$app/default.rxl" "$here"/assets/demo/*.bms >/dev/null || true
fi
if [ -x "$app/jov01" ]; then
  exec "$app/jov01"
fi
echo "The window is not built yet; scanning the bundled charts instead." >&2
exec "$build/src/jov01-tool" scan "$here"/assets/demo/*.bms "$here"/tests/data/charts/*.bm[se]
