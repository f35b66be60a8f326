#!/bin/bash
# MD5 of a 64 MiB random file: md5sum against tool_md5file (Md5Hasher with
# 1 MiB reads, and Md5::digestFileToHexStr), warm page cache, best of 5.
#   bench/checksums_vs_md5sum.sh [BUILD_DIR]    (default: build-sum-rel beside this folder)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-sum-rel}
tool=$build/bench/tool_md5file
[[ -x $tool ]] || { echo "missing $tool (configure with -DVK_BUILD_BENCH=ON and build tool_md5file)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/random.bin
size=$((64 * 1024 * 1024))
head -c "$size" /dev/urandom >"$file"
cat "$file" >/dev/null  # warm the page cache

best_of_5() {
    local best=""
    for _ in 1 2 3 4 5; do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >"$work/out"
        t1=$(date +%s%N)
        local ns=$((t1 - t0))
        if [[ -z $best || $ns -lt $best ]]; then best=$ns; fi
    done
    echo "$best"
}

report() {
    local name=$1 ns=$2
    awk -v n="$name" -v ns="$ns" -v s="$size" 'BEGIN { printf "%-28s %8.1f ms  %8.1f MB/s\n", n, ns / 1e6, s / (ns / 1e9) / 1e6 }'
}

ref=$(md5sum "$file" | cut -d' ' -f1 | tr a-f A-F)
for mode in hasher digest-file; do
    got=$("$tool" "$mode" "$file")
    [[ $got == "$ref" ]] || { echo "digest mismatch in $mode: $got vs $ref" >&2; exit 1; }
done

if command -v lscpu >/dev/null; then lscpu | head -20; echo; fi
echo "64 MiB random file, warm cache, best of 5 (MB = 10^6 bytes)"
report "md5sum" "$(best_of_5 md5sum "$file")"
report "tool_md5file hasher" "$(best_of_5 "$tool" hasher "$file")"
report "tool_md5file digest-file" "$(best_of_5 "$tool" digest-file "$file")"
