#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the fast scan of a FAT32 folder of 12,500 … 100,000 deleted files (each listed, so each
# one also passes the duplicate test) and prints the time per entry: it stays flat when the scan
# is linear in the folder's size and doubles with each doubling when it is quadratic. Best of
# three runs after a warm-up, JSON output included. Use a Release build.
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
  python3 - "$cli" "$work/big.img" "$count" <<'PY'
import subprocess, sys, time
cli, image, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
def run():
    start = time.perf_counter()
    subprocess.run([cli, "scan", image, "--json"], check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start
run()
best = min(run() for _ in range(3))
print(f"{count:10d} {best:10.3f} {best * 1e6 / count:14.2f}")
PY
done
