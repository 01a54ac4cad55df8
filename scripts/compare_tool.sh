#!/usr/bin/env bash
# Runs two jov01-tool builds over every chart in tests/data/charts and the demo charts and
# reports any difference in scan, parse, simulate (sleep 1 and 10) and list output.
# usage: scripts/compare_tool.sh OLD_TOOL NEW_TOOL [EXTRA_FLAGS [NEW_FLAGS]]
# NEW_FLAGS go to the new build only: "--reading classic" compares a build from before the
# Auto reading with a later one.
set -uo pipefail
old=$1 new=$2 extra=${3:-} newextra=${4:-}
here=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0 n=0
for chart in "$here"/tests/data/charts/*.bm[se] "$here"/assets/demo/*.bms; do
  for cmd in "scan" "parse" "simulate --sleep 1" "simulate --sleep 10"; do
    n=$((n + 1))
    # shellcheck disable=SC2086
    "$old" $cmd $extra "$chart" >"$tmp/a" 2>&1; a=$?
    # shellcheck disable=SC2086
    "$new" $cmd $extra $newextra "$chart" >"$tmp/b" 2>&1; b=$?
    if [ $a != $b ] || ! cmp -s "$tmp/a" "$tmp/b"; then
      echo "DIFFERS: $cmd $(basename "$chart")"; fail=1
    fi
  done
done
# shellcheck disable=SC2086
"$old" list $extra --write "$tmp/old.rxl" "$here"/tests/data/charts >/dev/null 2>&1
"$new" list $extra $newextra --write "$tmp/new.rxl" "$here"/tests/data/charts >/dev/null 2>&1
cmp -s "$tmp/old.rxl" "$tmp/new.rxl" || { echo "DIFFERS: list --write"; fail=1; }
echo "$n runs compared; $([ $fail = 0 ] && echo identical || echo 'differences above')"
exit $fail
