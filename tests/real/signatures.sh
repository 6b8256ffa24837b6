#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The signature search on real files of 21 types: on a raw disk (at sector 0, both sides of a
# large-read boundary, near the end) each is found at its sector under its category and extension
# with the size its type gives, compound documents are told apart, --types chooses, a disk of
# zeros yields nothing; on FAT32 and NTFS volumes (mkfs.fat and mtools, mkntfs and ntfscp) each
# file is found where istat says it starts. Below "Raw Data" a lost-file search lists exactly
# what the fast scan lists.
source "$(dirname "$0")/lib/common.bash"
need python3 mkfs.fat mcopy mdel mkntfs ntfscp fls istat fsstat
convert=$(command -v convert-im6.q16 || command -v magick || command -v convert || true)
[[ -n $convert ]] || skip "ImageMagick is not installed"
need_volumes
samples=$src/tests/real/lib/signature_samples.py

python3 "$samples" make "$work/samples" "$convert"
truncate -s 48M "$work/disk.img"
python3 "$samples" plant "$work/samples" "$work/disk.img" \
  5000,0,777,2047,3001,4000,8064,9000,9100,9200,9300,12345,16000,20000,25000,30000,40000,50000,63000,98300,8063
"$cli" scan "$work/disk.img" --advanced --all-types --fixed-size --json >"$work/disk.json"
python3 "$samples" check "$work/disk.img.placed.json" "$work/disk.json" "$work/disk.img"
"$cli" scan "$work/disk.img" --advanced --types pdf,doc --fixed-size >"$work/list.txt"
grep -qx "deleted-file 66048 Raw Data/Documents/doc/9300.doc" "$work/list.txt" || fail "the list lacks 9300.doc"
[[ $(grep -c -- '-file ' "$work/list.txt") == 2 ]] || fail "--types pdf,doc found other files"
truncate -s 16M "$work/zeros.img"
"$cli" scan "$work/zeros.img" --advanced --all-types >"$work/zeros.txt"
grep -q 'Raw Data$' "$work/zeros.txt" && ! grep -q -- '-file ' "$work/zeros.txt" || fail "a disk of zeros gave files"

mapfile -t files < <(cd "$work/samples" && ls | grep -v '^manifest.json$')
truncate -s 64M "$work/fat32.img"
mkfs.fat -F 32 -s 1 "$work/fat32.img" >/dev/null
for file in "${files[@]}"; do mcopy -i "$work/fat32.img" "$work/samples/$file" "::/$file"; done
mdel -i "$work/fat32.img" ::/letter.doc ::/photo.jpg ::/sheet.xls ::/song.mp3
truncate -s 64M "$work/ntfs.img"
mkntfs -q -F -f -c 4096 "$work/ntfs.img" >/dev/null 2>&1
for file in "${files[@]}"; do ntfscp -q -f "$work/ntfs.img" "$work/samples/$file" "/$file" >/dev/null 2>&1; done
cp "$volumes/ntfs.img" "$work/tree.img"
for volume in fat32 ntfs tree; do
  "$cli" scan "$work/$volume.img" --json >"$work/$volume.fast.json"
  "$cli" scan "$work/$volume.img" --lost --all-types --fixed-size --json >"$work/$volume.json"
  python3 - "$work/$volume.fast.json" "$work/$volume.json" <<'PY' || fail "$volume: below Raw Data the search differs from the fast scan"
import json, sys
def shape(node):  # ids differ: "Raw Data" is numbered first in the lost-file search
    return (node["name"], node["status"], node["size"], node.get("location"), node.get("firstCluster"),
            [shape(child) for child in node["children"]])
fast, lost = (json.load(open(path)) for path in sys.argv[1:])
children = lost["root"]["children"]
assert children[0]["name"] == "Raw Data" and [shape(c) for c in children[1:]] == [shape(c) for c in fast["root"]["children"]]
PY
  [[ $volume == tree ]] && continue
  python3 "$samples" locate "$work/samples" "$work/$volume.img"
  [[ $(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))))' "$work/$volume.img.placed.json") -ge 15 ]] ||
    fail "$volume: too few samples located to prove anything"
  python3 "$samples" check "$work/$volume.img.placed.json" "$work/$volume.json" "$work/$volume.img"
done
echo "signatures: every planted and written file found"
