#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the fast scan of a FAT32 folder of 12,500 … 100,000 deleted files (each listed, so each
# one also passes the duplicate test) and prints the time per entry: it stays flat when the scan
# is linear in the folder's size and doubles with each doubling when it is quadratic.
# usage: bench/fat_large_folder.sh PATH/TO/restora-cli [MAX_COUNT]
set -euo pipefail
cli=$1
max=${2:-100000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%10s %10s %14s\n' entries seconds "us per entry"
for count in 12500 25000 50000 100000 200000 400000; do
  ((count <= max)) || break
  python3 "$here/fat_make_big_folder.py" "$work/big.img" "$count"
  # Warm the page cache, then take the best of three runs.
  "$cli" scan "$work/big.img" --json >/dev/null
  best=
  for run in 1 2 3; do
    start=$(date +%s.%N)
    "$cli" scan "$work/big.img" --json >/dev/null
    end=$(date +%s.%N)
    elapsed=$(echo "$end - $start" | bc -l)
    if [[ -z $best ]] || (($(echo "$elapsed < $best" | bc -l))); then best=$elapsed; fi
  done
  printf '%10d %10.3f %14.2f\n' "$count" "$best" "$(echo "$best * 1000000 / $count" | bc -l)"
done
