#!/usr/bin/env bash
# Side-by-side scanner comparison on a seeded corpus (about 1 GiB in 4,000 files):
# checks that every tool finds exactly the planted files, then times each with a
# warm page cache (best of three runs).
#
# Usage: bench/scan_compare.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR: an optimised build with VK_BUILD_BENCH=ON (default build/bench)
#   needs: clamscan, yara (scripts/install-deps.sh --with-bench)
set -euo pipefail
build=$(realpath "${1:-build/bench}")
work=${2:-$(mktemp -d /tmp/vkbench-XXXXXX)}
mkdir -p "$work"
gen="$build/bench/tool_corpus"
vkscan="$build/bin/vkscan"
runs=${RUNS:-3}

if [ ! -f "$work/corpus.done" ]; then
  echo "generating corpus in $work ..."
  "$gen" "$work/c1k" --seed 20261209
  "$gen" "$work/c110k" --seed 20261209 --files 0 --extra-crc 99500 --extra-strings 9500 >/dev/null
  touch "$work/corpus.done"
fi
corpus="$work/c1k/corpus"
bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
nfiles=$(find "$corpus" -type f | wc -l)
echo "corpus: $nfiles files, $((bytes / 1048576)) MiB"

found_vk()   { "$vkscan" --database "$1" --all-files --max-size 10 --action report --quiet "$corpus" | sed -n 's/: [^:]* FOUND$//p' | sort -u; }
found_clam() { clamscan -r -i --no-summary -d "$work/c1k/bench.hdb" -d "$work/c1k/bench.ndb" "$corpus" | sed -n 's/: [^:]* FOUND$//p' | sort -u; }
found_yara() { yara -r -p "$1" "$work/c1k/bench.yar" "$corpus" | awk '{ $1=""; sub(/^ /, ""); print }' | sort -u; }

check() {
  local name=$1; shift
  if diff -q <("$@") "$work/c1k/expected.txt" >/dev/null; then
    echo "  $name: finds exactly the $(wc -l < "$work/c1k/expected.txt") planted files"
  else
    echo "  $name: WRONG RESULT"; diff <("$@") "$work/c1k/expected.txt" | head -5; return 1
  fi
}

echo "checking results..."
check "vkscan (1,000 signatures)" found_vk "$work/c1k/signatures.dat"
check "vkscan (110,000 signatures)" found_vk "$work/c110k/signatures.dat"
have_clam=0; command -v clamscan >/dev/null && have_clam=1
have_yara=0; command -v yara >/dev/null && have_yara=1
[ $have_clam = 1 ] && check "clamscan" found_clam
[ $have_yara = 1 ] && check "yara -p 1" found_yara 1
[ $have_yara = 1 ] && check "yara -p 2" found_yara 2

best() {  # best wall time of $runs runs, after one warm-up
  "$@" >/dev/null 2>&1 || true
  local best=""
  for _ in $(seq "$runs"); do
    local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 $best" | awk '{d=$2-$1; if ($3=="" || d<$3) print d; else print $3}')
  done
  echo "$best"
}
row() { printf '%-34s %8.2f s %9.0f MB/s\n' "$1" "$2" "$(echo "$bytes $2" | awk '{print $1/1e6/$2}')"; }

echo
printf '%-34s %10s %14s\n' tool time throughput
row "cat (read floor)" "$(best sh -c "find '$corpus' -type f -print0 | xargs -0 cat")"
row "md5sum" "$(best sh -c "find '$corpus' -type f -print0 | xargs -0 md5sum")"
row "vkscan, 1,000 signatures" "$(best "$vkscan" --database "$work/c1k/signatures.dat" --all-files --action report --quiet "$corpus")"
row "vkscan, 110,000 signatures" "$(best "$vkscan" --database "$work/c110k/signatures.dat" --all-files --action report --quiet "$corpus")"
[ $have_clam = 1 ] && row "clamscan -r -d ..." "$(best clamscan -r -i --no-summary -d "$work/c1k/bench.hdb" -d "$work/c1k/bench.ndb" "$corpus")"
[ $have_yara = 1 ] && row "yara -r -p 1" "$(best yara -r -p 1 "$work/c1k/bench.yar" "$corpus")"
[ $have_yara = 1 ] && row "yara -r -p 2" "$(best yara -r -p 2 "$work/c1k/bench.yar" "$corpus")"
echo
echo "database load:"
"$build/bench/tool_dbload" "$work/c1k/signatures.dat"
"$build/bench/tool_dbload" "$work/c110k/signatures.dat"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
