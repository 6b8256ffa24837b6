#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Volumes laid out as the usual tools make them: FAT16 with 512, 1024 and 2048 root entries,
# FAT32 with its root folder moved off cluster 2, FAT16 and FAT32 with 4096-byte sectors (mkfs.fat
# and mtools), NTFS with 512- and 4096-byte sectors (mkntfs and an ntfs-3g mount). Each holds
# deleted files: a lower-case 8.3 name (case flags), a file without the archive bit (attribute
# 0), long names, a file in a subfolder. The scan must list every deleted file of size > 0 that
# fls lists, each with "overwritten" 0, and recover each with the written bytes and modification
# time (into a folder that recover makes); once the free space is filled, "overwritten" reads 100.
# A boot sector whose FATs reach past the volume is refused with its reason.
set -euo pipefail
cli=$(realpath "$1")
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkfs.fat mcopy mmd mdel mattrib fls fsck.fat python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
work=$(mktemp -d)
ntfs_pid=""
cleanup() {
  if mountpoint -q "$work/mnt" 2>/dev/null; then umount "$work/mnt" || umount -l "$work/mnt"; fi
  if [[ -n $ntfs_pid ]]; then wait "$ntfs_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
check="$src/tests/real/volumes_as_written.py"
fail() { echo "FAIL: $*"; exit 1; }
text() { yes "$1" | head -c "$2" || true; }  # TEXT repeated up to SIZE bytes

# The files written to every volume, all with one modification time.
mkdir -p "$work/files/sub" "$work/mnt"
stamp='2021-03-04 05:06:08'
text 'notes, in lower case' 10000 >"$work/files/notes.txt"
text 'without the archive bit' 6000 >"$work/files/NOARCH.BIN"
head -c 70000 /dev/urandom >"$work/files/Long file name.bin"
text 'small' 700 >"$work/files/SMALL.TXT"
head -c 30000 /dev/urandom >"$work/files/sub/inner data.dat"
touch -d "$stamp" "$work/files"/* "$work/files/sub"/*
mtime=$(stat -c %Y "$work/files/notes.txt")

# check_volume NAME: scan, recover into a folder that does not exist yet, compare.
check_volume() {
  local name=$1 image="$work/$1.img"
  "$cli" scan "$image" --json >"$work/$name.json"
  fls -r -d -p -l "$image" >"$work/$name.fls"
  "$cli" recover "$image" --to "$work/saved-$name" >/dev/null
  python3 "$check" "$work/$name.json" "$work/$name.fls" "$work/saved-$name/#" "$work/files" "$mtime" 0 ||
    fail "$name"
  python3 "$check" "$work/$name.json" "$work/$name.fls" "$work/saved-$name/#" "$work/files/sub" "$mtime" 0 ||
    fail "$name (subfolder)"
}

# fat_volume NAME SIZE_KIB MKFS_OPTIONS...: writes and deletes the files with mtools.
fat_volume() {
  local name=$1 size=$2 image="$work/$1.img"
  shift 2
  mkfs.fat "$@" -M 0xF8 -C "$image" "$size" >/dev/null
  [[ $name != fat32-moved-root ]] || python3 - "$image" <<'PY'
# Moves the root folder of a fresh FAT32 volume from cluster 2 to cluster 300, in both FATs and
# both boot sectors.
import struct, sys
with open(sys.argv[1], "r+b") as f:
    boot = f.read(512)
    bps, spc, rsvd, nfats = struct.unpack_from("<HBHB", boot, 11)
    fatsz, root, backup = struct.unpack_from("<I", boot, 0x24)[0], struct.unpack_from("<I", boot, 0x2C)[0], struct.unpack_from("<H", boot, 0x32)[0]
    data, cluster, new = (rsvd + nfats * fatsz) * bps, spc * bps, 300
    f.seek(data + (root - 2) * cluster); content = f.read(cluster)
    f.seek(data + (new - 2) * cluster); f.write(content)
    for i in range(nfats):
        fat = (rsvd + i * fatsz) * bps
        f.seek(fat + 4 * new); f.write(struct.pack("<I", 0x0FFFFFFF))
        f.seek(fat + 4 * root); f.write(struct.pack("<I", 0))
    for sector in (0, backup):
        f.seek(sector * bps + 0x2C); f.write(struct.pack("<I", new))
PY
  fsck.fat -n "$image" >/dev/null || fail "$name: fsck.fat finds the volume damaged"
  mmd -i "$image" ::/sub ::/fill
  for file in "$work/files"/*; do [[ -f $file ]] && mcopy -m -i "$image" "$file" "::/$(basename "$file")"; done
  mcopy -m -i "$image" "$work/files/sub/inner data.dat" "::/sub/inner data.dat"
  mattrib -i "$image" -a ::/NOARCH.BIN
  mdel -i "$image" ::/notes.txt ::/NOARCH.BIN "::/Long file name.bin" ::/SMALL.TXT "::/sub/inner data.dat"
  check_volume "$name"
  grep -q '"name":"xotes.txt","status":0' "$work/$name.json" || fail "$name: notes.txt is not listed as xotes.txt"
}

fat_volume fat16-r512 32768 -F 16 -r 512
fat_volume fat16-r1024 32768 -F 16 -r 1024
fat_volume fat16-r2048 32768 -F 16 -r 2048
fat_volume fat32-moved-root 40960 -F 32
fat_volume fat16-s4096 65536 -F 16 -S 4096
fat_volume fat32-s4096 327680 -F 32 -S 4096

# Filling the free space of a live folder reuses every cluster of the deleted files.
free=$(mdir -i "$work/fat16-r1024.img" ::/ | sed -n 's/ *\([0-9 ]*\) bytes free/\1/p' | tr -d ' ')
head -c "$free" /dev/zero >"$work/filler"
mcopy -i "$work/fat16-r1024.img" "$work/filler" ::/fill/filler
"$cli" scan "$work/fat16-r1024.img" --json >"$work/filled.json"
fls -r -d -p -l "$work/fat16-r1024.img" >"$work/filled.fls"
python3 "$check" "$work/filled.json" "$work/filled.fls" "$work/none" "$work/files" "$mtime" 100 || fail "filled FAT16"
"$cli" scan "$work/fat16-r1024.img" --list | grep -q '^deleted-file 70000 100% Long file name.bin$' ||
  fail "--list does not show the overwritten share"

# Folders deleted in steps (a folder, then its parent) whose entries new files took over: the
# deep scan and the lost-file search find their clusters and list their files as orphans.
mkdir "$work/orphans"
for i in 1 2 3 4 5 6; do text "child file $i" $((3000 * i)) >"$work/orphans/child file $i.txt"; done
for i in 1 2 3; do text "parent file $i" $((5000 * i)) >"$work/orphans/parent file $i.txt"; done
touch -d "$stamp" "$work/orphans"/*
: >"$work/empty"
for width in 16 32; do
  name=orphans$width
  mkfs.fat -F "$width" -M 0xF8 -C "$work/$name.img" 40960 >/dev/null
  mmd -i "$work/$name.img" ::/Parent ::/Parent/Child
  for i in 1 2 3 4 5 6; do mcopy -m -i "$work/$name.img" "$work/orphans/child file $i.txt" "::/Parent/Child/"; done
  for i in 1 2 3; do mcopy -m -i "$work/$name.img" "$work/orphans/parent file $i.txt" "::/Parent/"; done
  mdeltree -i "$work/$name.img" ::/Parent/Child
  mdeltree -i "$work/$name.img" ::/Parent
  for i in 1 2 3 4; do mcopy -i "$work/$name.img" "$work/empty" "::/N$i.TXT"; done  # into Parent's entries
  fls -r -d -p -l "$work/$name.img" >"$work/$name.fls"
  grep -q 'OrphanFiles/_HILD/child file 1.txt' "$work/$name.fls" || fail "$name: fls sees no orphans; the volume is not as meant"
  [[ -z $("$cli" scan "$work/$name.img") ]] || fail "$name: the fast scan lists what only the deep scan may find"
  "$cli" scan "$work/$name.img" --lost --all-types --json >"$work/$name.json" 2>/dev/null
  python3 "$check" "$work/$name.json" "$work/$name.fls" "$work/none" "$work/none" "$mtime" - || fail "$name (lost-file search)"
  "$cli" scan "$work/$name.img" --deep --json >"$work/$name.json"
  "$cli" recover "$work/$name.img" --deep --to "$work/saved-$name" >/dev/null
  python3 "$check" "$work/$name.json" "$work/$name.fls" "$work/saved-$name/#" "$work/orphans" "$mtime" 0 || fail "$name (deep scan)"
done

# Recovered at the time of the save with --no-times.
"$cli" recover "$work/fat16-r512.img" --to "$work/now" --no-times >/dev/null
[[ $(stat -c %Y "$work/now/#/xotes.txt") -gt $mtime ]] || fail "--no-times kept the entry's time"

# A FAT16 boot sector whose FATs reach past the volume's end is refused with that reason.
cp "$work/fat16-r512.img" "$work/bad.img"
printf '\xff\x7f' | dd of="$work/bad.img" bs=1 seek=22 conv=notrunc status=none  # sectors per FAT
if "$cli" scan "$work/bad.img" 2>"$work/bad.txt"; then fail "a FAT16 volume with impossible FATs was scanned"; fi
# (Since whole-disk images are read by their partition table, such a sector, which carries the
# 0x55AA mark too, may be refused as a partition table without a usable partition instead.)
grep -Eq 'cannot describe a volume: its FATs and root folder reach past|no FAT16, FAT32 or NTFS partition' \
  "$work/bad.txt" || fail "$(cat "$work/bad.txt")"

# NTFS needs an ntfs-3g mount.
for tool in mkntfs ntfs-3g setfattr istat; do command -v "$tool" >/dev/null || { echo "SKIPPED NTFS: $tool is missing"; exit 0; }; done
[[ $EUID -eq 0 && -e /dev/fuse ]] || { echo "SKIPPED NTFS: needs root and /dev/fuse"; exit 0; }
mount_ntfs() {
  ntfs-3g -o no_detach "$1" "$work/mnt" >/dev/null 2>&1 &
  ntfs_pid=$!
  for _ in $(seq 50); do mountpoint -q "$work/mnt" && return; sleep 0.1; done
  fail "ntfs-3g did not mount $1"
}
unmount_ntfs() {
  umount "$work/mnt"
  wait "$ntfs_pid" || true
  ntfs_pid=""
}
for sector in 512 4096; do
  name=ntfs-s$sector
  truncate -s 64M "$work/$name.img"
  mkntfs -q -F -f -s "$sector" "$work/$name.img" >/dev/null 2>&1
  mount_ntfs "$work/$name.img"
  cp -p "$work/files"/*.* "$work/mnt/"
  mkdir "$work/mnt/sub" && cp -p "$work/files/sub/inner data.dat" "$work/mnt/sub/"
  rm "$work/mnt"/*.* "$work/mnt/sub/inner data.dat"
  unmount_ntfs
  check_volume "$name"
done

# A compressed file written unit by unit between other files, so that its run list outgrows its
# record: its names and extents spread over extension records (an attribute list). It is deleted
# the way Windows leaves such a file, its base and extension records marked free (ntfs-3g would
# first cut the file short); it is listed by name and recovered whole.
truncate -s 64M "$work/listed.img"
mkntfs -q -F -f "$work/listed.img" >/dev/null 2>&1
ntfs-3g -o no_detach,compression "$work/listed.img" "$work/mnt" >/dev/null 2>&1 &
ntfs_pid=$!
for _ in $(seq 50); do mountpoint -q "$work/mnt" && break; sleep 0.1; done
mkdir "$work/mnt/packed"
setfattr -n system.ntfs_attrib_be -v 0x00000810 "$work/mnt/packed"
python3 - "$work/mnt/packed" <<'PY'
import os, sys
with open(os.path.join(sys.argv[1], "many units.txt"), "wb") as f:
    for i in range(400):
        f.write((("line %06d of the compressed file\n" % i) * 3000).encode()[:65536])
        f.flush()
        os.fsync(f.fileno())
        with open(os.path.join(sys.argv[1], f"between{i}.bin"), "wb") as g:
            g.write(os.urandom(4096))
PY
cp "$work/mnt/packed/many units.txt" "$work/many units.txt"
record=$(stat -c %i "$work/mnt/packed/many units.txt")
unmount_ntfs
records=$(istat "$work/listed.img" "$record" | sed -n '/ATTRIBUTE_LIST Attribute Values/,/^$/p' | awk '/MFT Entry/ { print $5 }' | sort -u)
[[ $(wc -w <<<"$records") -ge 3 ]] || fail "the compressed file has no attribute list with extension records"
python3 - "$work/listed.img" $records <<'PY'
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
"$cli" scan "$work/listed.img" | grep -q '^deleted-file 26214400 [0-9]*% packed/many units.txt$' ||
  fail "the file with an attribute list is not listed by its name"
"$cli" recover "$work/listed.img" --to "$work/listed" --only 'packed/many units.txt' >/dev/null
cmp "$work/listed/#/packed/many units.txt" "$work/many units.txt" || fail "the file with an attribute list differs"

# Filled up, the deleted files' clusters are in use again.
mount_ntfs "$work/ntfs-s4096.img"
dd if=/dev/zero of="$work/mnt/filler" bs=1M status=none 2>/dev/null || true
unmount_ntfs
"$cli" scan "$work/ntfs-s4096.img" --json >"$work/filled.json"
fls -r -d -p -l "$work/ntfs-s4096.img" >"$work/filled.fls"  # the filler may take a deleted file's record
python3 "$check" "$work/filled.json" "$work/filled.fls" "$work/none" "$work/files" "$mtime" 100 || fail "filled NTFS"
echo "volumes_as_written: FAT16, FAT32 and NTFS layouts agree with fls and the written files"
