#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fast scan against The Sleuth Kit: the FAT16, FAT32 and NTFS volumes of the real tools (also
# against what was written and deleted), and the public sample volumes against their stored fls
# listings; a torn NTFS record costs its file and one line; FAT12 is refused.
source "$(dirname "$0")/lib/common.bash"
need fls istat jq python3
need_volumes
need_corpus
source "$src/tests/real/lib/ntfs_listings.bash"

fat_vs_fls() {  # fat_vs_fls IMAGE [MANIFEST] [--extra-ok=PATH]
  local image=$1
  shift
  "$cli" scan "$image" --json >"$work/scan.json"
  fls -r -p -l "$image" >"$work/all.txt"
  fls -r -d -p -l "$image" >"$work/deleted.txt"
  python3 "$src/tests/real/lib/fat_vs_fls.py" "$work/scan.json" "$work/all.txt" "$work/deleted.txt" "$@" ||
    fail "$image differs from fls"
}
fat_vs_fls "$volumes/fat16.img" "$volumes/fat16.tsv"
fat_vs_fls "$volumes/fat32.img" "$volumes/fat32.tsv"
for name in dftt-fat16-6-undel fatcat-fat32-deleted dfirntfs-fat16-deleted-dir rustfatfs-fat16-lfn dfirntfs-fat32-loop; do
  fls -r -d -p "$corpus/$name.img" | cmp -s - "$corpus/$name.img.fls-deleted.txt" || fail "fls lists other entries than stored"
  fat_vs_fls "$corpus/$name.img"
done
fat_vs_fls "$corpus/dftt-fat16-9-label.img" "--extra-ok=New Folder/FILE2.DLL"

# NTFS: every deleted file with content under its rebuilt path, with the size istat reads.
"$cli" scan --json "$volumes/ntfs.img" >"$work/ntfs.json" 2>"$work/ntfs.err"
[[ ! -s $work/ntfs.err ]] || fail "diagnostics on a sound volume: $(cat "$work/ntfs.err")"
restora_deleted_files "$work/ntfs.json" | sort >"$work/ours.txt"
tsk_deleted_files "$volumes/ntfs.img" | sort | diff -u - "$work/ours.txt" || fail "the NTFS volume differs from fls (- fls, + ours)"
[[ $(wc -l <"$work/ours.txt") -ge 10 ]] || fail "too few deleted files to prove anything"
checked=0
for name in dftt-ntfs-7-undel dftt-ntfs-8-jpeg-search dfirntfs-ntfs-index-slack colinfinck-ntfs-testfs1 \
            velociraptor-ntfs-compressed velociraptor-ntfs-vhdx-part; do
  "$cli" scan --json "$corpus/$name.img" >"$work/$name.json"
  restora_deleted_files "$work/$name.json" | sort >"$work/$name.ours"
  tsk_deleted_files "$corpus/$name.img" "$corpus/$name.img.fls-deleted.txt" | sort | diff -u - "$work/$name.ours" ||
    fail "$name differs from fls (- fls, + ours)"
  checked=$((checked + $(wc -l <"$work/$name.ours")))
done
[[ $checked -ge 10 ]] || fail "only $checked deleted files of the samples compared"

location=$(jq -r '.. | objects | select(.name? == "root-deleted.txt") | .location' "$work/ntfs.json")
cp "$volumes/ntfs.img" "$work/torn.img"
printf '\x5a' | dd of="$work/torn.img" bs=1 seek=$((location * 512 + 1022)) conv=notrunc status=none
"$cli" scan --json "$work/torn.img" >"$work/torn.json" 2>"$work/torn.err"
[[ $(cat "$work/torn.err") == "ERROR,FileRecord's Integrity failed,VerifyRecord," ]] || fail "torn record: $(cat "$work/torn.err")"
restora_deleted_files "$work/torn.json" | sort | diff <(grep -v '^root-deleted.txt' "$work/ours.txt") - ||
  fail "a torn record cost more than its file"

expect 1 "$cli" scan "$corpus/dftt-fat12-5-daylight.img"
grep -q 'not a FAT16, FAT32 or NTFS volume' "$work/last.err" || fail "FAT12: $(cat "$work/last.err")"
[[ ! -s $work/last.out ]] || fail "a refused volume printed a listing"
echo "scan_vs_tsk: every listing agrees ($checked deleted files of NTFS samples)"
