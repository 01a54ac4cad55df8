#!/usr/bin/env bash
# Whole-process timings, hyperfine-like: runs each quoted command N times, interleaved
# (so a busy machine weighs on all alike), and prints the median and the fastest run.
#   scripts/process_times.sh 31 "build/src/jov01-tool scan chart.bms" "cat chart.bms"
set -euo pipefail -f
runs=$1; shift
declare -A times
for ((r = 0; r < runs; r++)); do
    for ((i = 1; i <= $#; i++)); do
        cmd=${!i}
        start=$(date +%s%N)
        $cmd >/dev/null 2>&1 || true  # word-split, not globbed (set -f)
        end=$(date +%s%N)
        times[$i]+="$(( (end - start) / 1000 )) "
    done
done
for ((i = 1; i <= $#; i++)); do
    sorted=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | sort -n)
    median=$(sed -n "$(( (runs + 1) / 2 ))p" <<<"$sorted")
    fastest=$(head -1 <<<"$sorted")
    awk -v c="${!i:0:60}" -v m="$median" -v f="$fastest" 'BEGIN { printf "%-60s median %8.2f ms  fastest %8.2f ms\n", c, m / 1000, f / 1000 }'
done
