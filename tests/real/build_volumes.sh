#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fixture of the end-to-end tests, run once per test run: volumes made by mkfs.fat and
# mtools, and by mkntfs and an ntfs-3g mount, each with a manifest of what was written
# (status<TAB>size<TAB>SHA-256<TAB>path):
# - fat16, fat32, ntfs: the trees of scripts/make-*-volume.sh (fat16.tsv ...);
# - the usual layouts: FAT16 with 512, 1024 and 2048 root entries, FAT32 with its root folder
#   moved off cluster 2, FAT16 and FAT32 with 4096-byte sectors, NTFS with 512- and 4096-byte
#   sectors, each holding the deleted files of files/ (written.tsv, all modified at the time in
#   mtime): a lower-case 8.3 name (case flags), a file without the archive bit, long names, a
#   file in a subfolder; fat16-filled and ntfs-filled are two of them with their free space
#   filled, which reuses every cluster of the deleted files;
# - orphans16, orphans32: folders deleted in steps (a folder, then its parent) whose entries new
#   files took over (orphans.tsv);
# - listed: a compressed file written unit by unit between other files, so that its run list
#   outgrows its record (an attribute list), deleted the way Windows leaves such a file: its base
#   and extension records marked free (listed.tsv).
set -euo pipefail
volumes=${RESTORA_VOLUMES:?}
src=${RESTORA_SOURCE_DIR:?}
for tool in mkfs.fat mcopy mmd mdel mdeltree mattrib mdir fsck.fat mkntfs ntfs-3g setfattr istat openssl mountpoint python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
[[ $(id -u) == 0 && -e /dev/fuse ]] || { echo "SKIPPED: the ntfs-3g mount needs root and /dev/fuse"; exit 77; }
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
rm -rf "$volumes"
mkdir -p "$volumes/files/sub" "$volumes/orphans"
cd "$volumes"
mnt=$(mktemp -d)
ntfs_pid=""
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || umount -l "$mnt"; fi
  [[ -z $ntfs_pid ]] || wait "$ntfs_pid" || true
  rmdir "$mnt"
}
trap cleanup EXIT
mount_ntfs() {  # mount_ntfs IMAGE [OPTIONS]: the driver stays our child, awaited after the unmount
  ntfs-3g -o "no_detach${2:+,$2}" "$1" "$mnt" >/dev/null 2>&1 &
  ntfs_pid=$!
  for _ in $(seq 100); do mountpoint -q "$mnt" && return; sleep 0.1; done
  echo "ntfs-3g did not mount $1" && exit 1
}
unmount_ntfs() { umount "$mnt"; wait "$ntfs_pid" || true; ntfs_pid=""; }
text() { yes "$1" | head -c "$2" || true; }  # TEXT repeated up to SIZE bytes
manifest() {  # manifest FOLDER: every file below it, deleted
  (cd "$1" && find . -type f -printf '%P\n' | sort | while IFS= read -r path; do
    printf 'deleted\t%s\t%s\t%s\n' "$(stat -c %s "$path")" "$(sha256sum <"$path" | cut -d' ' -f1)" "$path"; done)
}

pids=()
bash "$src/scripts/make-fat-volume.sh" 16 fat16.img fat16.tsv & pids+=($!)
bash "$src/scripts/make-fat-volume.sh" 32 fat32.img fat32.tsv & pids+=($!)

text 'notes, in lower case' 10000 >files/notes.txt
text 'without the archive bit' 6000 >files/NOARCH.BIN
head -c 70000 /dev/urandom >"files/Long file name.bin"
text 'small' 700 >files/SMALL.TXT
head -c 30000 /dev/urandom >"files/sub/inner data.dat"
for i in 1 2 3 4 5 6; do text "child file $i" $((3000 * i)) >"orphans/child file $i.txt"; done
for i in 1 2 3; do text "parent file $i" $((5000 * i)) >"orphans/parent file $i.txt"; done
touch -d '2021-03-04 05:06:08' files/*.* files/sub/* orphans/*
stat -c %Y files/notes.txt >mtime
manifest files >written.tsv
manifest orphans >orphans.tsv

fat_volume() {  # fat_volume NAME SIZE_KIB MKFS_OPTIONS...
  local name=$1 size=$2
  shift 2
  mkfs.fat "$@" -M 0xF8 -C "$name.img" "$size" >/dev/null
  [[ $name != fat32-moved-root ]] || python3 - "$name.img" <<'PY'
# Moves the root folder from cluster 2 to cluster 300, in both FATs and both boot sectors.
import struct, sys
with open(sys.argv[1], "r+b") as f:
    boot = f.read(512)
    bps, spc, rsvd, nfats = struct.unpack_from("<HBHB", boot, 11)
    (fatsz,), (root,), (backup,) = (struct.unpack_from(k, boot, at) for k, at in (("<I", 0x24), ("<I", 0x2C), ("<H", 0x32)))
    cluster = lambda n: (rsvd + nfats * fatsz + (n - 2) * spc) * bps
    f.seek(cluster(root))
    writes = [(cluster(300), f.read(spc * bps))] + [(s * bps + 0x2C, struct.pack("<I", 300)) for s in (0, backup)]
    writes += [((rsvd + i * fatsz) * bps + 4 * n, struct.pack("<I", v)) for i in range(nfats) for n, v in ((300, 0x0FFFFFFF), (root, 0))]
    for at, data in writes:
        f.seek(at)
        f.write(data)
PY
  fsck.fat -n "$name.img" >/dev/null
  mmd -i "$name.img" ::/fill
  mcopy -s -m -i "$name.img" files/* ::/
  mattrib -i "$name.img" -a ::/NOARCH.BIN
  mdel -i "$name.img" ::/notes.txt ::/NOARCH.BIN "::/Long file name.bin" ::/SMALL.TXT "::/sub/inner data.dat"
}
fat_volumes() {
  fat_volume fat16-r512 32768 -F 16 -r 512
  fat_volume fat16-r1024 32768 -F 16 -r 1024
  fat_volume fat16-r2048 32768 -F 16 -r 2048
  fat_volume fat32-moved-root 40960 -F 32
  fat_volume fat16-s4096 65536 -F 16 -S 4096
  fat_volume fat32-s4096 327680 -F 32 -S 4096
  cp fat16-r1024.img fat16-filled.img
  free=$(mdir -i fat16-filled.img ::/ | sed -n 's/ *\([0-9 ]*\) bytes free/\1/p' | tr -d ' ')
  head -c "$free" /dev/zero >filler
  mcopy -i fat16-filled.img filler ::/fill/filler
  rm filler
  : >empty
  for width in 16 32; do
    mkfs.fat -F "$width" -M 0xF8 -C "orphans$width.img" 40960 >/dev/null
    mmd -i "orphans$width.img" ::/Parent ::/Parent/Child
    mcopy -m -i "orphans$width.img" orphans/child* ::/Parent/Child/
    mcopy -m -i "orphans$width.img" orphans/parent* ::/Parent/
    mdeltree -i "orphans$width.img" ::/Parent/Child
    mdeltree -i "orphans$width.img" ::/Parent
    for i in 1 2 3 4; do mcopy -i "orphans$width.img" empty "::/N$i.TXT"; done  # into Parent's entries
  done
}
fat_volumes & pids+=($!)

bash "$src/scripts/make-ntfs-volume.sh" ntfs.img ntfs.tsv 32
for sector in 512 4096; do
  truncate -s 64M "ntfs-s$sector.img"
  mkntfs -q -F -f -s "$sector" "ntfs-s$sector.img" >/dev/null 2>&1
  mount_ntfs "ntfs-s$sector.img"
  cp -pr files/. "$mnt/"
  rm "$mnt"/*.* "$mnt/sub/inner data.dat"
  unmount_ntfs
done
cp ntfs-s4096.img ntfs-filled.img
mount_ntfs ntfs-filled.img
dd if=/dev/zero of="$mnt/filler" bs=1M status=none 2>/dev/null || true
unmount_ntfs

truncate -s 64M listed.img
mkntfs -q -F -f listed.img >/dev/null 2>&1
mount_ntfs listed.img compression
mkdir "$mnt/packed"
setfattr -n system.ntfs_attrib_be -v 0x00000810 "$mnt/packed"
python3 - "$mnt/packed" <<'PY'
import os, sys
with open(os.path.join(sys.argv[1], "many units.txt"), "wb") as f:
    for i in range(400):
        f.write((("line %06d of the compressed file\n" % i) * 3000).encode()[:65536])
        f.flush()
        os.fsync(f.fileno())
        with open(os.path.join(sys.argv[1], f"between{i}.bin"), "wb") as g:
            g.write(os.urandom(4096))
PY
printf 'deleted\t%s\t%s\tpacked/many units.txt\n' "$(stat -c %s "$mnt/packed/many units.txt")" \
  "$(sha256sum <"$mnt/packed/many units.txt" | cut -d' ' -f1)" >listed.tsv
record=$(stat -c %i "$mnt/packed/many units.txt")
unmount_ntfs
records=$(istat listed.img "$record" | sed -n '/ATTRIBUTE_LIST Attribute Values/,/^$/p' | awk '/MFT Entry/ { print $5 }' | sort -u)
[[ $(wc -w <<<"$records") -ge 3 ]] || { echo "the compressed file has no attribute list with extension records"; exit 1; }
python3 - listed.img $records <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    boot = f.read(512)
    bps, spc = struct.unpack_from("<HB", boot, 11)
    table, size = struct.unpack_from("<Q", boot, 0x30)[0], struct.unpack_from("<b", boot, 0x40)[0]
    size = 2 ** -size if size < 0 else size * spc * bps
    for record in map(int, sys.argv[2:]):
        at = table * spc * bps + record * size
        f.seek(at + 0x10); sequence = struct.unpack("<H", f.read(2))[0]
        f.seek(at + 0x10); f.write(struct.pack("<H", sequence % 0xFFFF + 1))
        f.seek(at + 0x16); f.write(struct.pack("<H", 0))  # not in use
PY

for pid in "${pids[@]}"; do wait "$pid"; done
touch ready
