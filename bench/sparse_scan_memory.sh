#!/usr/bin/env bash
# Peak memory (maximum resident set) of vkscan scanning one large sparse file
# named on the command line, against a one-byte file as the baseline: files
# are read in pieces through a window of fixed size, so the two peaks should
# be close whatever the file's size.
#
# Usage: bench/sparse_scan_memory.sh [BUILD_DIR] [SIZE]
#   BUILD_DIR: an optimised build with VK_BUILD_BENCH=ON (default build/bench)
#   SIZE: the sparse file's size as truncate takes it (default 5G)
set -euo pipefail
build=$(realpath "${1:-build/bench}")
size=${2:-5G}
work=$(mktemp -d /tmp/vkbench-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/bench/tool_dbgen" 10000 "$work/signatures.dat" >/dev/null
printf 'x' > "$work/small.bin"
truncate -s "$size" "$work/sparse.bin"

printf '%-12s %14s %12s %10s\n' file bytes "peak RSS" seconds
for f in small.bin sparse.bin; do
  bytes=$(stat -c %s "$work/$f")
  # %M: maximum resident set in KiB; %e: elapsed seconds.
  /usr/bin/time -f '%M %e' -o "$work/time.txt" \
    "$build/bin/vkscan" --database "$work/signatures.dat" --no-summary "$work/$f" >/dev/null || true
  read -r peak secs < "$work/time.txt"
  printf '%-12s %14s %9s MiB %10s\n' "$f" "$bytes" "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')" "$secs"
done
