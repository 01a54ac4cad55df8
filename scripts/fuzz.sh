#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus.
set -euo pipefail
build=$1; seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
status=0
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  seeds="$here/fuzz/seeds/${name#fuzz_}"
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  echo "== $name ($seconds s)"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "${args[@]}" || status=1
done
exit $status
