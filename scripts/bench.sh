#!/usr/bin/env bash
# Runs every benchmark program of the build.
set -euo pipefail
build=$1
for bin in "$build"/bench/bench_*; do
  [ -x "$bin" ] || continue
  echo "== $(basename "$bin")"
  "$bin" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
