#!/bin/sh
# jov01-tool's loudness against an independent meter (ffmpeg's ebur128 filter) on renders
# of real charts: eleven corpus charts, each given tones for its sounds (at a level of its
# own, so the charts differ widely), the demo charts and two charts whose only music is a
# MIDI piece. Checks, per chart:
#   integrated within 0.2 LU and true peak within 0.3 dB of ffmpeg's, on the plain render;
#   the --even-loudness render within 1 LU of -18 LUFS (unless the tool says the chart is
#   too quiet to get there under the peak ceiling) and no sample at full scale;
#   a chart whose only music is a MIDI piece between -24 and -14 LUFS.
# Prints a table of the loudness before and after. Exit 77 (skipped) without ffmpeg or sox.
# Usage: loudness_check.sh TOOL DATA_DIR DEMO_DIR
tool=$1 data=$2 demo=$3
for p in ffmpeg sox; do
  if ! command -v $p >/dev/null 2>&1; then
    echo "$p not found: loudness comparison skipped"
    exit 77
  fi
done
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

# Twelve tones a semitone apart, short and decaying, at the level asked for.
tones() {
  k=0
  while [ $k -lt 12 ]; do
    sox -n -r 44100 -c 1 -b 16 -t wav "$tmp/tone$k.wav" synth 0.25 sine $((220 + k * 13)) fade 0 0.25 0.2 vol "$1" 2>/dev/null
    k=$((k + 1))
  done
}

# A corpus chart copied with a tone for every sound it names (WAV data whatever the name).
i=0
for name in testLoadContentFrom_CorrectlySp.bms J219_7key.bms 0.ct_a.bms 0.ct_h.bms l-for-nanasi.bms \
            "0.ct_[MAX].bms" _ld2013_a.bms "gekkou(7).bme" pure7a.bme lilith_mx.bms nc_mx.bme; do
  i=$((i + 1))
  dir="$tmp/c$i"
  mkdir -p "$dir"
  # Levels from 0.03 to 0.9 of full scale.
  tones "$(awk -v i=$i 'BEGIN { printf "%.3f", 0.03 * exp(log(30) * (i - 1) / 10) }')"
  cp "$data/charts/$name" "$dir/"
  tr -d '\r' < "$data/charts/$name" | awk 'toupper(substr($0, 1, 4)) == "#WAV" && NF >= 2 { sub(/^[^ \t]+[ \t]+/, ""); print }' |
    awk '{ print NR % 12 "\t" $0 }' | while IFS="$(printf '\t')" read -r k file; do
      mkdir -p "$dir/$(dirname "$file")"
      cp "$tmp/tone$k.wav" "$dir/$file"
    done
  echo "$dir/$name" >> "$tmp/list"
done
for f in "$demo"/*.bms "$data"/midi/only_*.bms; do echo "$f" >> "$tmp/list"; done

# ffmpeg's integrated loudness and true peak of a file: "I PEAK".
ffmeasure() {
  ffmpeg -nostdin -nostats -hide_banner -i "$1" -filter_complex ebur128=peak=true -f null - 2>&1 |
    awk '/Integrated loudness:/ { s = 1 } s && $1 == "I:" { i = $2 } /True peak:/ { t = 1 } t && $1 == "Peak:" { p = $2 }
         END { print i, p }'
}

fail=0
printf '%-40s %9s %9s %9s %9s %9s\n' chart I ffmpeg TP ffmpegTP even
while read -r chart; do
  line=$("$tool" loudness "$chart")
  ours=$(echo "$line" | sed 's/.*"Integrated":\([^,]*\),.*"TruePeak":\([^,]*\),.*/\1 \2/')
  "$tool" render "$chart" -o "$tmp/plain.wav" >/dev/null 2>&1 || { echo "render failed: $chart"; fail=1; continue; }
  "$tool" render "$chart" -o "$tmp/even.wav" --even-loudness >/dev/null 2>"$tmp/err" || { echo "even render failed: $chart"; fail=1; continue; }
  theirs=$(ffmeasure "$tmp/plain.wav")
  even=$(ffmeasure "$tmp/even.wav")
  peak=$(sox "$tmp/even.wav" -n stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
  quiet=0
  grep -q "too quiet" "$tmp/err" && quiet=1
  verdict=$(echo "$ours $theirs $even $peak $quiet $chart" | awk '{
      bad = ""
      d = $1 - $3; if (d < 0) d = -d; if (d > 0.2) bad = bad " integrated"
      d = $2 - $4; if (d < 0) d = -d; if (d > 0.3) bad = bad " true-peak"
      d = $5 + 18; if (d < 0) d = -d; if (d > 1 && !($8 && $5 < -18)) bad = bad " even-loudness"
      if ($7 >= 0.9999) bad = bad " full-scale"
      if ($9 ~ /only_/ && ($1 < -24 || $1 > -14)) bad = bad " midi-level"
      printf "%-40s %9.2f %9.2f %9.2f %9.2f %9.2f%s%s\n", substr($9, length($9) - 39), $1, $3, $2, $4, $5, ($8 ? " (too quiet)" : ""), (bad == "" ? "" : "  FAIL:" bad)
    }')
  echo "$verdict"
  case "$verdict" in *FAIL*) fail=1 ;; esac
done < "$tmp/list"
exit $fail
