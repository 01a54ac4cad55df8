#!/bin/sh
# Installs the npm `bms` reader into the build folder (once) and compares its timing with
# jov01-tool's Extended reading on the corpus. Exit 77 (skipped) without node or npm.
# Usage: bms_times_check.sh BUILD_DIR TOOL CHART_DIR
build=$1 tool=$2 charts=$3
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  echo "node/npm not found: npm bms comparison skipped"
  exit 77
fi
prefix="$build/npm-reference"
if [ ! -d "$prefix/node_modules/bms" ]; then
  mkdir -p "$prefix"
  if ! npm install --prefix "$prefix" --no-audit --no-fund --silent bms@51.0.0 >/dev/null 2>&1; then
    echo "npm could not install the bms package: comparison skipped"
    exit 77
  fi
fi
exec node "$(dirname "$0")/bms_times.js" "$prefix/node_modules" "$tool" "$charts"/*.bm[se]
