#!/usr/bin/env bash
# Live timing of the real jukebox window: plays a click chart under Xvfb with SDL's
# disk audio driver, then compares the recorded click onsets with the chart's times.
#
#   scripts/live_timing.sh [BUILD_DIR] [RUNS...]
#   RUNS are SLEEP:SHOWNOTES pairs, default "10:1 1:1 10:0 1:0".
# Prints one JSON line per run (see scripts/onsets.py). Needs Xvfb and xdotool.
# KEEP_DIR=folder keeps the recorded streams; VERBOSE=1 adds each click's residual.
# The build folder is never written to: the program runs from a temporary copy.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
shift || true
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(10:1 1:1 10:0 1:0)
display=${JOV01_DISPLAY:-:97}
play_seconds=${PLAY_SECONDS:-34}

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

python3 "$here/onsets.py" make "$work"
"$build/src/jov01-tool" render "$work/click.bms" -o "$work/offline.wav" >/dev/null
python3 "$here/onsets.py" analyse "$work/offline.wav" --times "$work/click_times.txt" --label offline-render

if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
fi
export DISPLAY=$display

for run in "${runs[@]}"; do
    sleep_ms=${run%%:*}
    show=${run##*:}
    app=$work/app
    rm -rf "$app" && mkdir -p "$app"
    cp "$build/src/jov01" "$build/src/bms.hrd" "$build/src/skin.png" "$app/"
    printf '[Setting]\r\nSleep=%s\r\nWAVLoadmode=1\r\nShowNotes=%s\r\n[ListSetting]\r\nRandom=0\r\n' \
        "$sleep_ms" "$show" >"$app/jov01.ini"
    "$build/src/jov01-tool" list --write "$app/default.rxl" "$work/click.bms" >/dev/null
    raw=$work/out-$sleep_ms-$show.raw
    rm -f "$raw"

    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$raw QT_QPA_PLATFORM=xcb \
        "$app/jov01" >"$work/app.log" 2>&1 &
    app_pid=$!
    main_win=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$app_pid" --name 'jov:01' | head -n1)
    if [ "$show" != 0 ]; then
        # No window manager: both windows open at the origin; put the notes beside.
        notes_win=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$app_pid" --name '^Notes$' | head -n1)
        xdotool windowmove "$notes_win" 420 0
    fi
    sleep 1
    # The Play button is the first one at the top left of the main window.
    xdotool mousemove --window "$main_win" 28 20 click 1
    sleep "$play_seconds"
    # SDL turns SIGTERM into a quit event nobody reads, and without a window manager
    # there is no close button: end it hard (the disk driver has written every block).
    kill -KILL "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    [ -n "${KEEP_DIR:-}" ] && cp "$raw" "$KEEP_DIR/"
    python3 "$here/onsets.py" analyse "$raw" --raw --rate 44100 --times "$work/click_times.txt" \
        --label "sleep=$sleep_ms shownotes=$show" ${VERBOSE:+--verbose}
done
