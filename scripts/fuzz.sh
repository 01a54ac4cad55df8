#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus: the seeds kept in
# fuzz/seeds plus the real inputs of the project (corpus charts, list files, the default
# skin and its bitmap, the demo sounds), with an input length fit for each format.
# FUZZ_JOBS > 1 runs that many workers per target.
set -euo pipefail
build=$1; seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=${FUZZ_JOBS:-1}
# Leaks inside system libraries we do not own (libvorbis leaks on some malformed OGG files)
# would end a run at once; findings and crash inputs go to the build folder.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/scripts/lsan.supp:print_suppressions=0}

# Longest input per target: charts run to tens of kilobytes and more.
declare -A max_len=(
  [fuzz_chart]=65536 [fuzz_engine]=65536 [fuzz_listfile]=65536 [fuzz_ini]=16384
  [fuzz_skin]=32768 [fuzz_bitmap]=131072 [fuzz_sound]=262144 [fuzz_urilist]=8192
  [fuzz_midi_command]=65536 [fuzz_resolver]=4096 [fuzz_bmson]=65536
)
# Real inputs besides fuzz/seeds/<name>.
declare -A extra=(
  [fuzz_chart]="$here/tests/data/charts $here/assets/demo"
  [fuzz_engine]="$here/fuzz/seeds/chart $here/tests/data/engine $here/assets/demo"
  [fuzz_skin]="$here/assets/skin"
  [fuzz_bitmap]="$here/assets/skin"
  [fuzz_sound]="$here/assets/demo"
  [fuzz_midi_command]="$here/tests/data/midi"
  [fuzz_bmson]="$here/tests/data/engine"
)

status=0
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  echo "== $name ($seconds s)"
  args=("$work")
  [ -d "$here/fuzz/seeds/${name#fuzz_}" ] && args+=("$here/fuzz/seeds/${name#fuzz_}")
  for d in ${extra[$name]:-}; do [ -d "$d" ] && args+=("$d"); done
  flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/")
  [ -n "${max_len[$name]:-}" ] && flags+=(-max_len="${max_len[$name]}")
  [ "$jobs" -gt 1 ] && flags+=(-jobs="$jobs" -workers="$jobs")
  "$bin" "${flags[@]}" "${args[@]}" || status=1
done
exit $status
