#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Files found by the signature search are saved as the run of sectors the search gave them: on a
# raw disk (whole MiB pieces, a remainder, and a hit whose size is cut at the disk's end), on a
# FAT32 volume made by mkfs.fat and mtools (start sector in the FAT node layout) and on the DFTT
# JPEG search image (NTFS layout). Each saved file is compared with dd of the same sectors.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
corpus=${RESTORA_CORPUS_DIR:-$src/../shared/corpus/real}
for tool in python3 openssl mkfs.fat mcopy dd; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
export MTOOLS_SKIP_CHECK=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
random_bytes() { (set +o pipefail; openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null | head -c "$2"); }

# check IMAGE OUT SCAN_OPTIONS...: lists the found files with scan --json, saves them with the
# same options, and compares each saved file with the sectors it stands for.
check() {
  local image=$1 out=$2
  shift 2
  "$cli" scan "$image" "$@" --json >"$out.json" 2>/dev/null
  mkdir "$out"
  "$cli" recover "$image" "$@" --to "$out" >"$out.log" 2>/dev/null
  python3 - "$image" "$out.json" "$out/#" <<'PY'
import hashlib, json, os, sys
image, listing, saved = sys.argv[1:4]
scan = json.load(open(listing))
ntfs_layout = scan["kind"] in ("Disk", "Ntfs")
found = []
def walk(node, path):
    for child in node["children"]:
        child_path = path + "/" + child["name"]
        if child["carveSource"]:
            found.append((child_path, child["location"] if ntfs_layout else child["firstCluster"], child["size"]))
        walk(child, child_path)
walk(scan["root"], "")
assert found, "the search found nothing"
with open(image, "rb") as f:
    for path, sector, size in found:
        f.seek(sector * 512)
        expected = f.read(size)
        with open(saved + path, "rb") as g:
            ours = g.read()
        assert len(ours) == size and ours == expected, f"{path}: {len(ours)} bytes, not sectors {sector}.. ({size} bytes)"
        print(f"ok {path} = {size} bytes from sector {sector}")
print(f"{len(found)} found files saved as their run of sectors ({scan['kind']})")
PY
}

# A raw disk of 12 MiB: PNG headers at sectors 0, 5000, 18432 (its size, cut at the disk's end,
# is exactly 3 MiB) and 24570 (six sectors before the end), a PDF header at 777.
random_bytes disk $((12 * 1024 * 1024)) >"$work/disk.img"
python3 - "$work/disk.img" <<'PY'
import sys
png = bytes.fromhex("89504E470D0A1A0A0000000D49484452")
with open(sys.argv[1], "r+b") as f:
    for sector, magic in ((0, png), (5000, png), (18432, png), (24570, png), (777, b"%PDF-1.4")):
        f.seek(sector * 512)
        f.write(magic)
PY
check "$work/disk.img" "$work/disk" --advanced --types png,pdf

# A FAT32 volume with a PNG file written by mtools.
mkfs.fat -F 32 -s 1 -C "$work/fat32.img" $((40 * 1024)) >/dev/null
{ printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR'; random_bytes pic 200000; } >"$work/pic.png"
mcopy -i "$work/fat32.img" "$work/pic.png" ::/PIC.PNG
check "$work/fat32.img" "$work/fat32" --lost --types png

# The DFTT JPEG search image (NTFS, made by Windows XP).
if [[ -r $corpus/dftt-ntfs-8-jpeg-search.img ]]; then
  check "$corpus/dftt-ntfs-8-jpeg-search.img" "$work/dftt8" --lost --types jpg
fi
