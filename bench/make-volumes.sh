#!/usr/bin/env bash
# Makes the deterministic benchmark volumes in a folder (default bench/out):
#   ntfs.img   NTFS, about 2 GiB, FILES files (default 100000) in 100 folders, every third deleted
#   fat32.img  FAT32, about 1 GiB, FAT_FILES entries (default 31000), every third deleted
#   disk.img   a 2 GiB raw "disk" of pseudo-random bytes with a few hundred real files of several
#              types planted at sector offsets (planted.tsv lists sector, type, size)
# Volumes that exist already are kept. SCALE=0.01 makes small ones for a quick try.
set -euo pipefail
out=${1:-$(cd "$(dirname "$0")" && pwd)/out}
scale=${SCALE:-1}
mkdir -p "$out"
work=$(mktemp -d)
mnt="$work/mnt"
cleanup() {
  mountpoint -q "$mnt" 2>/dev/null && umount "$mnt"
  rm -rf "$work"
}
trap cleanup EXIT
export MTOOLS_SKIP_CHECK=1
scaled() { python3 -c "import sys; print(max(1, int($1 * float(sys.argv[1]))))" "$scale"; }

if [ ! -f "$out/ntfs.img" ]; then
  files=$(scaled "${FILES:-100000}")
  size_mib=$(scaled 2048)
  [ "$size_mib" -ge 64 ] || size_mib=64
  echo "making ntfs.img: $files files in ${size_mib} MiB"
  truncate -s "${size_mib}M" "$work/ntfs.img"
  mkntfs -q -F -f "$work/ntfs.img" >/dev/null
  mkdir -p "$mnt"
  ntfs-3g "$work/ntfs.img" "$mnt"
  python3 - "$mnt" "$files" <<'PY'
import os, sys
root, files = sys.argv[1], int(sys.argv[2])
folders = 100
for i in range(files):
    folder = os.path.join(root, f"folder{i % folders:03d}", f"sub{(i // folders) % 10}")
    os.makedirs(folder, exist_ok=True)
    # Mostly small files (resident in their records), one in ten a few clusters long.
    size = 200 + (i * 37) % 600 if i % 10 else 4096 * (1 + i % 5) + i % 1000
    with open(os.path.join(folder, f"document-{i:06d}.txt"), "wb") as f:
        f.write((f"{i:08d}" * (size // 8 + 1)).encode()[:size])
for i in range(0, files, 3):
    os.remove(os.path.join(root, f"folder{i % folders:03d}", f"sub{(i // folders) % 10}", f"document-{i:06d}.txt"))
PY
  umount "$mnt"
  mv "$work/ntfs.img" "$out/ntfs.img"
fi

if [ ! -f "$out/fat32.img" ]; then
  entries=$(scaled "${FAT_FILES:-31000}")
  size_mib=$(scaled 1024)
  [ "$size_mib" -ge 40 ] || size_mib=40
  echo "making fat32.img: $entries files in ${size_mib} MiB"
  truncate -s "${size_mib}M" "$work/fat32.img"
  mkfs.fat -F 32 "$work/fat32.img" >/dev/null
  python3 - "$work/tree" "$entries" <<'PY'
import os, sys
root, files = sys.argv[1], int(sys.argv[2])
for i in range(files):
    folder = os.path.join(root, f"folder{i % 50:02d}")
    os.makedirs(folder, exist_ok=True)
    size = 100 + (i * 53) % 6000
    with open(os.path.join(folder, f"report-{i:06d}.dat"), "wb") as f:
        f.write((f"{i:08d}" * (size // 8 + 1)).encode()[:size])
PY
  mcopy -s -i "$work/fat32.img" "$work/tree"/* ::/
  (cd "$work/tree" && find . -type f | sort | awk 'NR % 3 == 1' | sed 's|^\./|::/|') | xargs -r -n 500 mdel -i "$work/fat32.img"
  mv "$work/fat32.img" "$out/fat32.img"
fi

if [ ! -f "$out/disk.img" ]; then
  size_mib=$(scaled 2048)
  echo "making disk.img: ${size_mib} MiB with planted files"
  python3 "$(dirname "$0")/plant-files.py" "$work/disk.img" "$size_mib" "$out/planted.tsv"
  mv "$work/disk.img" "$out/disk.img"
fi
ls -la "$out"
