#!/usr/bin/env bash
# Prints the test code against the product code, in non-blank, non-comment lines of C++.
cd "$(dirname "$0")/.." || exit 1
count() { git ls-files "$1" | grep -E '\.(cpp|h)$' | xargs cat | grep -c -v -E '^\s*(//.*)?$'; }
t=$(count tests)
c=$(count src)
echo "Test lines / code lines: $t / $c = $(awk "BEGIN { printf \"%.2f\", $t / $c }")"
