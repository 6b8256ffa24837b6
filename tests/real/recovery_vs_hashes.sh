#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover, byte for byte: the deleted files of the FAT16, FAT32 and NTFS volumes of the
# real tools against what was written and what icat reads; the DFTT undelete images against their
# published MD5s; and files found by the signature search (on a raw disk, a FAT32 volume and the
# DFTT JPEG image) against dd of the sectors the search gave them.
source "$(dirname "$0")/lib/common.bash"
need fls icat python3 openssl mkfs.fat mcopy
need_volumes
need_corpus

for volume in fat16 fat32 ntfs; do
  mkdir "$work/$volume"
  "$cli" recover "$volumes/$volume.img" --to "$work/$volume" >"$work/$volume.log"
  python3 "$src/tests/real/lib/recover_check.py" "$volumes/$volume.img" "$volumes/$volume.tsv" "$work/$volume/#" ||
    fail "$volume: recovered files differ"
done

# check_md5 IMAGE NAME:MD5...: every saved copy of each name (compared without its first letter,
# which a deleted 8.3 name loses) has the published MD5. On FAT16 the fragmented files, whose
# chains are cleared, come back as the consecutive clusters from their first one (the page's
# naive MD5s).
check_md5() {
  local image=$1 out="$work/$1" spec name found file
  shift
  mkdir "$out"
  "$cli" recover "$corpus/$image" --to "$out" >/dev/null
  for spec in "$@"; do
    name=${spec%%:*}
    found=0
    while IFS= read -r -d '' file; do
      base=$(basename "$file")
      base=${base,,}
      [[ ${base:1} == "${name:1}" ]] || continue
      found=$((found + 1))
      [[ $(md5sum <"$file" | cut -d' ' -f1) == "${spec##*:}" ]] || fail "$image: $file differs"
    done < <(find "$out/#" -type f -print0)
    ((found > 0)) || fail "$image: $name missing"
  done
}
check_md5 dftt-ntfs-7-undel.img res1.dat:9036637712b491904cd0bfbdbe648453 sing1.dat:59b20779f69ff9f0ac5fcd2c38835a79 \
  mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef frag1.dat:7a3bc5b763bef201202108f4ba128149 \
  frag2.dat:0e80ab84ef0087e60dfc67b88a1cf13e mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb \
  frag3.dat:21121699487f3fbbdb9a4b3391b6d3e0 sing2.dat:c229626f6a71b167ad7e50c4f2fccdb1
check_md5 dftt-fat16-6-undel.img sing.dat:59b20779f69ff9f0ac5fcd2c38835a79 mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef \
  mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb frag1.dat:c4f3b9a0f17d464f4fc61b94ecf6cc21 \
  frag2.dat:965370acfa85aa7e26ab04bbd45cdcae frag3.dat:a7a14ac62f79fdea4056ed5e8bcf97ef

# check_found IMAGE NAME SCAN_OPTIONS...: every found file is saved as its run of sectors.
check_found() {
  local image=$1 out=$work/$2
  shift 2
  "$cli" scan "$image" "$@" --json >"$out.json"
  mkdir "$out"
  "$cli" recover "$image" "$@" --to "$out" >/dev/null
  python3 - "$image" "$out.json" "$out/#" <<'PY' || fail "$image: found files differ from their sectors"
import json, sys
image, listing, saved = sys.argv[1:4]
scan = json.load(open(listing))
found = []
def walk(node, path):
    for child in node["children"]:
        if child["carveSource"]:
            found.append((path + child["name"], child["location" if scan["kind"] in ("Disk", "Ntfs") else "firstCluster"], child["size"]))
        walk(child, path + child["name"] + "/")
walk(scan["root"], "/")
assert found, "the search found nothing"
with open(image, "rb") as f:
    for path, sector, size in found:
        f.seek(sector * 512)
        assert open(saved + path, "rb").read() == f.read(size), path
print(f"{len(found)} found files saved as their sectors ({scan['kind']})")
PY
}
random_bytes() { (set +o pipefail; openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null | head -c "$2"); }
random_bytes disk $((12 * 1024 * 1024)) >"$work/disk.img"
png() { printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR'; }
for sector in 0 5000 18432 24570; do png | dd of="$work/disk.img" bs=512 seek=$sector conv=notrunc status=none; done
check_found "$work/disk.img" found-disk --advanced --types png
mkfs.fat -F 32 -s 1 -C "$work/found32.img" $((40 * 1024)) >/dev/null
{ png; random_bytes pic 200000; } >"$work/pic.png"
mcopy -i "$work/found32.img" "$work/pic.png" ::/PIC.PNG
check_found "$work/found32.img" found32 --lost --types png
check_found "$corpus/dftt-ntfs-8-jpeg-search.img" found-dftt8 --lost --types jpg
echo "recovery_vs_hashes: every recovered file is byte-exact"
