#!/usr/bin/env bash
# Database load time and peak memory for 100,000 and 1,000,000 signatures.
# Usage: bench/database_load.sh [BUILD_DIR]   (an optimised build with VK_BUILD_BENCH=ON)
set -euo pipefail
build=${1:-build/bench}
tools="$build/bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 100000 1000000; do
  "$tools/tool_dbgen" "$n" "$work/db$n.dat" >/dev/null
  echo "== $n signatures ($(du -h "$work/db$n.dat" | cut -f1))"
  for run in 1 2 3; do "$tools/tool_dbload" "$work/db$n.dat"; done
done
