#!/usr/bin/env bash
# Load time, save time and peak memory of the registry store for a whole
# HKLM\SOFTWARE export of 200 MB (UTF-16LE, as regedit writes it).
# Usage: bench/registry_load.sh [BUILD_DIR] [MEGABYTES]   (an optimised build with VK_BUILD_BENCH=ON)
set -euo pipefail
build=${1:-build/bench}
megabytes=${2:-200}
tools="$build/bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/registry"
"$tools/tool_regexport" "$megabytes" "$work/registry/HKEY_LOCAL_MACHINE.reg"
echo "== export of $(du -h "$work/registry/HKEY_LOCAL_MACHINE.reg" | cut -f1) on $(nproc) cores, $(uname -r)"
for run in 1 2 3; do
  cp "$work/registry/HKEY_LOCAL_MACHINE.reg" "$work/original.reg"
  "$tools/tool_regload" "$work/registry"
  saved=$(du -h "$work/registry/HKEY_LOCAL_MACHINE.reg" | cut -f1)
  mv "$work/original.reg" "$work/registry/HKEY_LOCAL_MACHINE.reg"
done
echo "== the store file after a save: $saved (UTF-8)"
