#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus: the seeds kept in
# fuzz/seeds plus the real inputs of the project (corpus charts, list files, the default
# skin and its bitmap, the demo sounds), with an input length fit for each format.
# FUZZ_JOBS > 1 runs that many workers per target; FUZZ_ONLY (a regular expression) picks targets.
set -euo pipefail
build=$1; seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=${FUZZ_JOBS:-1}
# Leaks inside system libraries we do not own (libvorbis leaks on some malformed OGG files)
# would end a run at once; findings and crash inputs go to the build folder.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/scripts/lsan.supp:print_suppressions=0}

# Longest input per target: small inputs keep every target fast (a thousand runs a
# second and more) and still reach every branch of the readers.
declare -A max_len=(
  [fuzz_chart]=2048 [fuzz_engine]=1024 [fuzz_listfile]=2048 [fuzz_ini]=2048
  [fuzz_skin]=2048 [fuzz_bitmap]=4096 [fuzz_sound]=4096 [fuzz_urilist]=2048
  [fuzz_midi_command]=2048 [fuzz_resolver]=512 [fuzz_single_instance]=1024
  [fuzz_mpris]=256 [fuzz_settings]=1024 [fuzz_render]=512 [fuzz_bmson]=2048
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
table=()
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  [ -n "${FUZZ_ONLY:-}" ] && ! [[ $name =~ $FUZZ_ONLY ]] && continue  # a regular expression
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  echo "== $name ($seconds s)"
  args=("$work")
  [ -d "$here/fuzz/seeds/${name#fuzz_}" ] && args+=("$here/fuzz/seeds/${name#fuzz_}")
  for d in ${extra[$name]:-}; do [ -d "$d" ] && args+=("$d"); done
  flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/")
  [ -n "${max_len[$name]:-}" ] && flags+=(-max_len="${max_len[$name]}")
  [ "$jobs" -gt 1 ] && flags+=(-jobs="$jobs" -workers="$jobs")
  log="$work/last-run.log"
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$bin" "${flags[@]}" "${args[@]}" > "$log" 2>&1 || { status=1; tail -n 30 "$log"; }
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  found=$(ls "$work" | grep -cE '^(crash|timeout|oom|leak)-' || true)
  table+=("$(printf '%-22s %12s %10s %9s %8s' "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "$found")")
done
echo
printf '%-22s %12s %10s %9s %8s\n' target execs execs/s coverage findings
printf '%s\n' "${table[@]}"
exit $status
