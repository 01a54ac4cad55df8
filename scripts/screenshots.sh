#!/usr/bin/env bash
# Takes the README's window pictures under Xvfb: the default size, enlarged to 900x600,
# and at QT_SCALE_FACTOR=2, each while the first demo chart plays (started over MPRIS).
# Usage: scripts/screenshots.sh BUILD_DIR OUT_DIR   (needs xvfb-run, dbus-run-session, import)
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shot() {  # name width height scale
  local dir="$work/$1"
  mkdir -p "$dir"
  cp "$build/src/jov01" "$build/src/bms.hrd" "$build/src/skin.png" "$dir/"
  # The three demo charts eight times over: enough lines to fill the enlarged list.
  local charts=()
  for _ in 1 2 3 4 5 6 7 8; do charts+=("$here"/assets/demo/*.bms); done
  "$build/src/jov01-tool" list --write "$dir/default.rxl" "${charts[@]}" >/dev/null
  printf '[Window]\r\nLeft=0\r\nTop=0\r\nWidth=%s\r\nHeight=%s\r\n' "$2" "$3" >"$dir/jov01.ini"
  local w=$(($2 * $4)) h=$(($3 * $4))
  xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- env QT_SCALE_FACTOR="$4" SDL_AUDIODRIVER=dummy \
    bash -c '
      "$0/jov01" & pid=$!
      sleep 3
      dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.jov01 \
        /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.Play
      sleep 6
      import -window root -crop "$1x$2+0+0" +repage "$3"
      kill -TERM $pid; wait $pid || true' "$dir" "$w" "$h" "$out/window-$1.png"
}

shot default 399 230 1
shot enlarged 900 600 1
shot scale2 399 230 2
ls -l "$out"/window-*.png
