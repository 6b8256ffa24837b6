#!/usr/bin/env bash
# Scale check: time and peak memory of `restora-cli scan` on a large sparse NTFS image (default
# 64 GiB whose table holds 1,000,000 records, a third of the files deleted, folders nested eight
# deep) and of the signature search on a large sparse image with a hit every MiB; memory per
# listed node = (peak RSS - peak RSS of the same scan on an empty table) / nodes listed.
# usage: bench/scale.sh [WORK_FOLDER]     (default /tmp/restora-scale; images are kept there)
#   RECORDS=1000000 SIZE_GIB=64 DELETED_PERCENT=33 SEARCH_GIB=8 BUILD=build-release
# A Release build is made in $BUILD with two jobs when it is missing. Not part of ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-${TMPDIR:-/tmp}/restora-scale}
records=${RECORDS:-1000000}
size_gib=${SIZE_GIB:-64}
deleted=${DELETED_PERCENT:-33}
search_gib=${SEARCH_GIB:-8}
build=$top/${BUILD:-build-release}
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (Debian package time)"; exit 1; }
if [ ! -x "$build/cli/restora-cli" ] || [ ! -x "$build/bench/make_large_ntfs" ] || [ ! -f "$build/cli/Signature" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C "$build" -j2 restora-cli signature_file make_large_ntfs >/dev/null
fi
cli=$build/cli/restora-cli
mkdir -p "$work"

big=$work/ntfs-${size_gib}g-${records}-${deleted}.img
empty=$work/ntfs-${size_gib}g-empty.img
[ -f "$big" ] || "$build/bench/make_large_ntfs" "$big" --records "$records" --size-gib "$size_gib" --deleted-percent "$deleted"
[ -f "$empty" ] || "$build/bench/make_large_ntfs" "$empty" --records 64 --size-gib "$size_gib" >/dev/null

# measure LABEL OUTPUT ARGS...: runs restora-cli once (page cache warm), keeps its listing in
# OUTPUT, prints seconds and peak RSS in KiB.
measure() {
  local output=$1; shift
  "$cli" "$@" >/dev/null 2>&1 || true  # warm-up
  /usr/bin/time -v -o "$work/time.txt" "$cli" "$@" >"$output" 2>/dev/null || true
  local rss wall
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
  # m:ss.ss or h:mm:ss to seconds
  wall=$(echo "$wall" | awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s}')
  echo "$wall $rss"
}

# Heap bytes the names take beyond the string object itself: UTF-16 names over 7 characters get
# a heap block of (length + 1) × 2 bytes, rounded up by malloc to 16 with an 8-byte header.
name_heap() {
  awk '{ name = $0; sub(/^[^ ]+ [0-9]+ /, "", name); n = split(name, parts, "/"); len = length(parts[n]);
         if (len > 7) { bytes = (len + 1) * 2 + 8; total += int((bytes + 15) / 16) * 16 } }
       END { print total + 0 }' "$1"
}

read -r t_empty rss_empty < <(measure "$work/empty.txt" scan "$empty" --list)
read -r t_big rss_big < <(measure "$work/big.txt" scan "$big" --list)
nodes=$(wc -l <"$work/big.txt")
names=$(name_heap "$work/big.txt")
per_node=$(( (rss_big - rss_empty) * 1024 / (nodes > 0 ? nodes : 1) ))
beyond_name=$(( ((rss_big - rss_empty) * 1024 - names) / (nodes > 0 ? nodes : 1) ))
echo "fast scan, ${size_gib} GiB NTFS, ${records} records (${deleted}% of files deleted):"
echo "  ${t_big} s, peak ${rss_big} KiB (empty table: ${t_empty} s, ${rss_empty} KiB), ${nodes} nodes listed"
echo "  ${per_node} bytes per node, ${beyond_name} bytes per node beyond its name"

search=$work/search-${search_gib}g.img
if [ ! -f "$search" ]; then
  python3 - "$search" "$search_gib" <<'PY'
import sys
path, gib = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as out:
    out.truncate(gib << 30)
    jpeg = bytes([0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10]) + b"JFIF\0"
    for mib in range(gib << 10):
        out.seek((mib << 20) + 4096)
        out.write(jpeg)
PY
fi
read -r t_search rss_search < <(measure "$work/search.txt" scan "$search" --advanced --disk --types jpg --list)
found=$(grep -c '\.jpg$' "$work/search.txt" || true)
mb_s=$(awk -v g="$search_gib" -v t="$t_search" 'BEGIN { printf "%.0f", (t > 0 ? g * 1073.741824 / t : 0) }')
echo "signature search, ${search_gib} GiB sparse disk image, jpg:"
echo "  ${t_search} s (${mb_s} MB/s), peak ${rss_search} KiB, ${found} files found"
