#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The signature search on real files of about 40 types (lib/samples.py): planted on a raw disk of
# other data (at sector 0, at the start of a read and across its end, across block boundaries, at
# the disk's end), each is found at its sector under its category and extension, cut at its own
# end, and saved byte for byte; with --fixed-size the chosen --types keep their maximum size; a disk
# of zeros yields nothing. Written to FAT32 and NTFS volumes (mtools, ntfscp), each file is found
# where istat says it starts and saved whole; below "Raw Data" the lost-file search lists exactly
# what the fast scan lists. The found files of the DFTT JPEG image are saved as their sectors.
source "$(dirname "$0")/lib/common.bash"
need python3 mkfs.fat mcopy mdel mkntfs ntfscp fls istat fsstat
CONVERT=$(command -v convert-im6.q16 || command -v magick || command -v convert) || skip "ImageMagick is not installed"
export CONVERT
need_volumes
need_corpus
samples() { python3 "$src/tests/real/lib/samples.py" "$@" || fail "samples.py $1 $3"; }

samples make "$work/samples"
samples plant "$work/samples" "$work/disk.img" 16
"$cli" scan "$work/disk.img" --advanced --all-types --json --save-scan "$work/disk.qxs" >"$work/disk.json"
"$cli" recover --scan "$work/disk.qxs" --source "$work/disk.img" --to "$work/disk" >/dev/null
samples check "$work/disk.img.placed.json" "$work/disk.json" "$work/disk.img" --saved "$work/disk/#"
"$cli" scan "$work/disk.img" --advanced --types png,pdf,doc,xls,ppt --fixed-size --json >"$work/fixed.json"
samples check "$work/disk.img.placed.json" "$work/fixed.json" "$work/disk.img" --fixed-size --types png,pdf,doc,xls,ppt
truncate -s 16M "$work/zeros.img"
"$cli" scan "$work/zeros.img" --advanced --all-types >"$work/zeros.txt"
grep -q 'Raw Data$' "$work/zeros.txt" && ! grep -q -- '-file ' "$work/zeros.txt" || fail "a disk of zeros gave files"

mapfile -t files < <(find "$work/samples" -type f ! -name manifest.json)
truncate -s 64M "$work/fat32.img"
mkfs.fat -F 32 -s 1 "$work/fat32.img" >/dev/null
mcopy -i "$work/fat32.img" "${files[@]}" ::/
mdel -i "$work/fat32.img" ::/late.doc ::/photo.jpg ::/gnumeric.xls ::/song.mp3
truncate -s 64M "$work/ntfs.img"
mkntfs -q -F -f -c 4096 "$work/ntfs.img" >/dev/null 2>&1
for file in "${files[@]}"; do ntfscp -q -f "$work/ntfs.img" "$file" "/${file##*/}" >/dev/null 2>&1; done
ln -s "$volumes/ntfs.img" "$work/tree.img"
for name in fat32 ntfs tree; do
  image=$work/$name.img
  "$cli" scan "$image" --json >"$work/fast.json"
  "$cli" scan "$image" --lost --all-types --json >"$image.json"
  python3 - "$work/fast.json" "$image.json" <<'PY' || fail "$image: below Raw Data the search differs from the fast scan"
import json, sys
def shape(node):  # ids differ: "Raw Data" is numbered first in the lost-file search
    return (node["name"], node["status"], node["size"], node.get("location"), node.get("firstCluster"),
            [shape(child) for child in node["children"]])
fast, lost = (json.load(open(path)) for path in sys.argv[1:])
children = lost["root"]["children"]
assert children[0]["name"] == "Raw Data" and [shape(c) for c in children[1:]] == [shape(c) for c in fast["root"]["children"]]
PY
  [[ $name == tree ]] && continue
  samples locate "$work/samples" "$image"
  [[ $(grep -c '"file"' "$image.placed.json") -ge 15 ]] || fail "$image: too few samples located to prove anything"
  "$cli" recover "$image" --lost --all-types --to "$image.saved" >/dev/null
  samples check "$image.placed.json" "$image.json" "$image" --saved "$image.saved/#"
done
dftt=$corpus/dftt-ntfs-8-jpeg-search.img
"$cli" scan "$dftt" --lost --types jpg --json >"$work/dftt.json"
"$cli" recover "$dftt" --lost --types jpg --to "$work/dftt" >/dev/null
samples sectors "$work/dftt.json" "$dftt" "$work/dftt/#"
echo "signatures: every planted and written file found whole"
