#!/usr/bin/env bash
# CPU time the window takes while a chart plays: starts jov01 under Xvfb (dummy audio, a
# private session bus), clicks Play, lets it settle, then reads utime+stime from
# /proc/PID/stat over SECONDS seconds. Prints the CPU share in percent of one core.
# Usage: scripts/idle_cpu.sh JOV01_BINARY [SECONDS]   (the skin files must sit beside it)
set -euo pipefail
bin=$(readlink -f "$1")
secs=${2:-30}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin" "$(dirname "$bin")/bms.hrd" "$(dirname "$bin")/skin.png" "$work/"
tool=${JOV01_TOOL:-$here/build/src/jov01-tool}
charts=()
for _ in 1 2 3 4; do charts+=("$here"/assets/demo/*.bms); done
"$tool" list --write "$work/default.rxl" "${charts[@]}" >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- env SDL_AUDIODRIVER=dummy \
  bash -c '
    "$0/jov01" 2>/dev/null & pid=$!
    sleep 3
    # A left click on the Play button (the window sits at 0,0 without a window manager).
    python3 - <<PY
import ctypes
x = ctypes.cdll.LoadLibrary("libX11.so.6"); t = ctypes.cdll.LoadLibrary("libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None))
t.XTestFakeMotionEvent(d, -1, 27, 15, 0)
t.XTestFakeButtonEvent(d, 1, 1, 0); t.XTestFakeButtonEvent(d, 1, 0, 0)
x.XFlush(d); x.XCloseDisplay(d)
PY
    sleep 3
    ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
    a=$(ticks); sleep "$1"; b=$(ticks)
    hz=$(getconf CLK_TCK)
    awk -v a="$a" -v b="$b" -v hz="$hz" -v s="$1" "BEGIN { printf \"%.2f\n\", (b - a) / hz / s * 100 }"
    kill -TERM $pid; wait $pid 2>/dev/null || true' "$work" "$secs"
