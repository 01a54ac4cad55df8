#!/usr/bin/env bash
# Even loudness in the live program: five charts of very different levels (a tone from
# -40 to -5 LUFS) played one after another by the real jukebox window under Xvfb, SDL's
# disk audio driver recording the output. The first chart starts unmeasured (at the gain
# before it, 0 dB); the others are measured while the one before plays, and the list
# comes round to the first again. Prints each played chart's integrated loudness in the
# recording (ffmpeg's ebur128) and every stretch of silence over 0.1 s (the gaps between
# charts, each chart's own empty first measure included).
#
#   scripts/live_loudness.sh [BUILD_DIR] [EVEN 1|0]
# Needs Xvfb, dbus-run-session, gdbus (Play through the desktop's player interface), sox, ffmpeg.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
even=${2:-1}
display=${JOV01_DISPLAY:-:96}
play_seconds=${PLAY_SECONDS:-110}

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

app=$work/app
mkdir -p "$app" "$work/charts"
cp "$build/src/jov01" "$build/src/bms.hrd" "$build/src/skin.png" "$app/"
printf '[Setting]\r\nSleep=10\r\nWAVLoadmode=1\r\nShowNotes=0\r\nEvenLoudness=%s\r\n[ListSetting]\r\nRandom=0\r\n' "$even" >"$app/jov01.ini"
# 16 s of a tone retriggered every eighth note at 120 BPM: no silence inside a chart.
charts=()
for level in 0.9 0.02 0.3 0.006 0.1; do
    dir=$work/charts/$level
    mkdir -p "$dir"
    sox -n -r 44100 -c 1 -b 16 "$dir/tone.wav" synth 0.25 sine 330 vol "$level"
    {
        printf '#TITLE tone %s\r\n#BPM 120\r\n#WAV01 tone.wav\r\n' "$level"
        for m in $(seq 1 8); do printf '#%03d01:0101010101010101\r\n' "$m"; done
    } >"$dir/tone.bms"
    charts+=("$dir/tone.bms")
done
"$build/src/jov01-tool" list --write "$app/default.rxl" "${charts[@]}" >/dev/null

if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
fi
export DISPLAY=$display
raw=$work/out.raw
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$raw QT_QPA_PLATFORM=xcb dbus-run-session -- bash -c '
    "$1/jov01" >"$2/app.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        gdbus call --session --dest org.mpris.MediaPlayer2.jov01 --object-path /org/mpris/MediaPlayer2 \
            --method org.mpris.MediaPlayer2.Player.Play >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep "$3"
    kill -KILL $pid' _ "$app" "$work" "$play_seconds"

# One piece per chart, split where the output falls silent between charts.
sox -t raw -r 44100 -e signed -b 16 -c 2 "$raw" "$work/all.wav"
sox "$work/all.wav" "$work/piece.wav" silence 1 0.01 0.01% 1 0.3 0.01% : newfile : restart 2>/dev/null || true
printf '%-6s %10s\n' piece LUFS
for p in "$work"/piece*.wav; do
    seconds=$(soxi -D "$p")
    awk -v s="$seconds" 'BEGIN { exit !(s > 5) }' || continue
    lufs=$(ffmpeg -nostdin -nostats -hide_banner -i "$p" -filter_complex ebur128 -f null - 2>&1 |
        awk '/Integrated loudness:/ { s = 1 } s && $1 == "I:" { i = $2 } END { print i }')
    printf '%-6s %10s  (%.1f s)\n' "$(basename "$p" .wav)" "$lufs" "$seconds"
done
printf 'silences (s):'
od -An -v -td2 -w4 "$raw" | awk '{ if ($1 == 0 && $2 == 0) run++; else { if (run > 4410) printf " %.2f", run / 44100; run = 0 } }'
echo
