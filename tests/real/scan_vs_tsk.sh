#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The scan against The Sleuth Kit (fls -r -d, istat), by lib/check.py listing: every volume of the
# fixture (the deleted files of its manifest listed under their written names, "overwritten" 0, or
# 100 once the free space is filled), the public sample volumes, and the orphans of folders deleted
# in steps, which the lost-file search and the deep scan list (never fewer than fls) and the fast
# scan does not. A torn NTFS record costs its file and one line; FAT12 and a FAT16 boot sector
# whose FATs reach past the volume are refused.
source "$(dirname "$0")/lib/common.bash"
need fls istat python3
need_volumes
need_corpus

for volume in fat16 fat32 ntfs; do listing "$volumes/$volume.img" --manifest "$volumes/$volume.tsv"; done
for volume in fat16-r512 fat16-r1024 fat16-r2048 fat32-moved-root fat16-s4096 fat32-s4096 ntfs-s512 ntfs-s4096; do
  listing "$volumes/$volume.img" --manifest "$volumes/written.tsv" --overwritten 0
done
for volume in fat16-filled ntfs-filled; do listing "$volumes/$volume.img" --overwritten 100; done
"$cli" scan "$volumes/fat16-filled.img" --list | grep -qx 'deleted-file 70000 100% Long file name.bin' ||
  fail "--list does not show the overwritten share"
for name in dftt-fat16-6-undel fatcat-fat32-deleted dfirntfs-fat16-deleted-dir rustfatfs-fat16-lfn dfirntfs-fat32-loop \
            dftt-ntfs-7-undel dftt-ntfs-8-jpeg-search dfirntfs-ntfs-index-slack colinfinck-ntfs-testfs1 \
            velociraptor-ntfs-compressed velociraptor-ntfs-vhdx-part; do
  listing "$corpus/$name.img"
done
listing "$corpus/dftt-fat16-9-label.img" --extra-ok "New Folder/FILE2.DLL"
for width in 16 32; do
  image=$volumes/orphans$width.img
  fls -r -d -p "$image" | grep -q 'OrphanFiles/_HILD/child file 1.txt' || fail "fls sees no orphans; $image is not as meant"
  [[ -z $("$cli" scan "$image") ]] || fail "orphans$width: the fast scan lists what only the deep scan may find"
  listing "$image" --orphans --lost --all-types
  listing "$image" --orphans --deep
done

"$cli" scan --json "$volumes/ntfs.img" >"$work/ntfs.json"
location=$(python3 -c 'import json, sys
def walk(n): return [c["location"] for c in n["children"] if c["name"] == "root-deleted.txt"] + sum((walk(c) for c in n["children"]), [])
print(walk(json.load(open(sys.argv[1]))["root"])[0])' "$work/ntfs.json")
cp "$volumes/ntfs.img" "$work/torn.img"
printf '\x5a' | dd of="$work/torn.img" bs=1 seek=$((location * 512 + 1022)) conv=notrunc status=none
"$cli" scan --json "$work/torn.img" >"$work/torn.json" 2>"$work/torn.err"
[[ $(cat "$work/torn.err") == "ERROR,FileRecord's Integrity failed,VerifyRecord," ]] || fail "torn record: $(cat "$work/torn.err")"
python3 - "$work/ntfs.json" "$work/torn.json" <<'PY' || fail "a torn record cost more than its file"
import json, sys
def flat(node, at=""): return [at + c["name"] for c in node["children"]] + sum((flat(c, at + c["name"] + "/") for c in node["children"]), [])
whole, torn = (flat(json.load(open(p))["root"]) for p in sys.argv[1:])
assert sorted(torn) == sorted(p for p in whole if p != "root-deleted.txt"), set(whole) ^ set(torn)
PY

expect 1 "$cli" scan "$corpus/dftt-fat12-5-daylight.img"
grep -q 'not a FAT16, FAT32 or NTFS volume' "$work/last.err" || fail "FAT12: $(cat "$work/last.err")"
[[ ! -s $work/last.out ]] || fail "a refused volume printed a listing"
cp "$volumes/fat16-r512.img" "$work/bad.img"
printf '\xff\x7f' | dd of="$work/bad.img" bs=1 seek=22 conv=notrunc status=none  # sectors per FAT
expect 1 "$cli" scan "$work/bad.img"
# The sector carries the 0x55AA mark too; it must not pass for a partition table and lose its reason.
grep -q 'cannot describe a volume: its FATs and root folder reach past' "$work/last.err" || fail "$(cat "$work/last.err")"
echo "scan_vs_tsk: every listing agrees with The Sleuth Kit"
