#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The scan against The Sleuth Kit (fls -r -d, istat), by lib/check.py listing: every volume of the
# fixture (the deleted files of its manifest listed under their written names, "overwritten" 0, or
# 100 once the free space is filled), the public sample volumes, and the orphans of folders deleted
# in steps, which the lost-file search and the deep scan list (never fewer than fls) and the fast
# scan does not. A FAT16 boot sector whose FATs reach past the volume is refused with its reason
# (FAT12 is refused in cli_contract.sh).
source "$(dirname "$0")/lib/common.bash"
need fls istat python3
need_volumes
need_corpus

for volume in fat16 fat32 ntfs; do listing "$volumes/$volume.img" --manifest "$volumes/$volume.tsv"; done
for volume in $layouts; do
  listing "$volumes/$volume.img" --manifest "$volumes/written.tsv" --overwritten 0
done
for volume in fat16-filled ntfs-filled; do listing "$volumes/$volume.img" --overwritten 100; done
for name in dftt-fat16-6-undel fatcat-fat32-deleted dfirntfs-fat16-deleted-dir rustfatfs-fat16-lfn dfirntfs-fat32-loop \
            dftt-ntfs-7-undel dftt-ntfs-8-jpeg-search dfirntfs-ntfs-index-slack colinfinck-ntfs-testfs1 \
            velociraptor-ntfs-compressed velociraptor-ntfs-vhdx-part; do
  listing "$corpus/$name.img"
done
for width in 16 32; do
  image=$volumes/orphans$width.img
  fls -r -d -p "$image" | grep -q 'OrphanFiles/_HILD/child file 1.txt' || fail "fls sees no orphans; $image is not as meant"
  [[ -z $("$cli" scan "$image") ]] || fail "orphans$width: the fast scan lists what only the deep scan may find"
  listing "$image" --orphans --lost --all-types
  listing "$image" --orphans --deep
done

cp "$volumes/fat16-r512.img" "$work/bad.img"
printf '\xff\x7f' | dd of="$work/bad.img" bs=1 seek=22 conv=notrunc status=none  # sectors per FAT
expect 1 "$cli" scan "$work/bad.img"
# The sector carries the 0x55AA mark too; it must not pass for a partition table and lose its reason.
grep -q 'cannot describe a volume: its FATs and root folder reach past' "$work/last.err" || fail "$(cat "$work/last.err")"
echo "scan_vs_tsk: every listing agrees with The Sleuth Kit"
