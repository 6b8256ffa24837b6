#!/usr/bin/env bash
# The lost-file search on volumes made by real tools: FAT32 (mkfs.fat, mcopy, some files deleted
# with mdel) and NTFS (mkntfs, ntfscp). The Sleuth Kit's istat tells where each file starts; the
# search must find every file at that sector, filed under "Raw Data" (the root's first child) by
# category and extension, with the volume's node layout (FAT: low 32 bits of the sector in
# firstCluster; NTFS: location) and the size cut at the end of the volume. Below "Raw Data" the
# lost-file search lists exactly what the fast scan lists, also on the filled and partly deleted
# NTFS volume of scripts/make-ntfs-volume.sh.
set -euo pipefail
cli=${1:?usage: signature_volume.sh PATH/TO/restora-cli}
here=$(cd "$(dirname "$0")" && pwd)
for tool in python3 mkfs.fat mcopy mdel mkntfs ntfscp fls istat fsstat; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
convert=$(command -v convert-im6.q16 || command -v magick || true)
[ -n "$convert" ] || { echo "SKIPPED: ImageMagick (Debian package imagemagick) is missing"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/signature_samples.py" make "$work/samples" "$convert"
mapfile -t samples < <(cd "$work/samples" && ls | grep -v '^manifest.json$')

truncate -s 64M "$work/fat32.img"
mkfs.fat -F 32 -s 1 "$work/fat32.img" >/dev/null
for sample in "${samples[@]}"; do mcopy -i "$work/fat32.img" "$work/samples/$sample" "::/$sample"; done
mdel -i "$work/fat32.img" ::/letter.doc ::/photo.jpg ::/sheet.xls ::/song.mp3

truncate -s 64M "$work/ntfs.img"
mkntfs -q -F -f -c 4096 "$work/ntfs.img" >/dev/null 2>&1
for sample in "${samples[@]}"; do ntfscp -q -f "$work/ntfs.img" "$work/samples/$sample" "/$sample" >/dev/null 2>&1; done

volumes=(fat32 ntfs)
src=${RESTORA_SOURCE_DIR:-$here/../..}
if command -v ntfs-3g >/dev/null && command -v setfattr >/dev/null && command -v openssl >/dev/null && [ -e /dev/fuse ]; then
  bash "$src/scripts/make-ntfs-volume.sh" "$work/tree.img" "$work/tree.tsv" 32
  volumes+=(tree)
else
  echo "note: no ntfs-3g mount here; the filled NTFS volume is left out"
fi
for volume in "${volumes[@]}"; do
  "$cli" scan "$work/$volume.img" --json >"$work/$volume.fast.json" 2>/dev/null
  "$cli" scan "$work/$volume.img" --lost --all-types --fixed-size --json >"$work/$volume.json" 2>"$work/$volume.err"
  python3 - "$work/$volume.fast.json" "$work/$volume.json" <<'PY'
import json, sys
def shape(node):  # identifiers differ: "Raw Data" is numbered first in the lost-file search
    return (node["name"], node["status"], node["size"], node.get("location"), node.get("firstCluster"),
            [shape(child) for child in node["children"]])
fast, lost = (json.load(open(path)) for path in sys.argv[1:])
children = lost["root"]["children"]
assert children and children[0]["name"] == "Raw Data", "Raw Data is not the root's first child"
assert [shape(c) for c in children[1:]] == [shape(c) for c in fast["root"]["children"]], \
    "below Raw Data the lost-file search differs from the fast scan"
PY
  [ "$volume" = tree ] && continue
  python3 "$here/signature_samples.py" locate "$work/samples" "$work/$volume.img"
  python3 "$here/signature_samples.py" check "$work/$volume.img.placed.json" "$work/$volume.json" "$work/$volume.img"
done
python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
samples = json.load(open(f"{work}/samples/manifest.json"))
# NTFS keeps data of up to some 700 bytes inside the file record: only larger files start a sector.
for volume, kind, least in (("fat32", "Fat32", len(samples)), ("ntfs", "Ntfs", sum(s["size"] > 1024 for s in samples))):
    placed = json.load(open(f"{work}/{volume}.img.placed.json"))
    assert len(placed) >= least, f"{volume}: only {len(placed)} samples located"
    scan = json.load(open(f"{work}/{volume}.json"))
    assert scan["kind"] == kind and scan["completed"], scan["kind"]
if not any(p["deleted"] for p in json.load(open(f"{work}/fat32.img.placed.json"))):
    sys.exit("FAIL: no deleted file among the FAT samples")
PY
echo "lost-file search: all files found on FAT32 and NTFS"
