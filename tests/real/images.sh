#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole disks, images and untouched sources. Disks made with sfdisk from the fixture's volumes (an
# MBR disk with a FAT16 primary and an NTFS logical partition, a GPT disk with FAT16, FAT32 and
# NTFS): the table as mmls reads it, every partition scanned below a folder of its own as fls -o
# START lists it and recovered with the written bytes, a saved scan that reopens each partition
# from the disk, --partition N, and on a table with damaged entries the sound partitions scanned
# and each skipped one named. Every job leaves its source's bytes as they were (SHA-256 before and
# after each): the volumes, a public sample and a damaged NTFS volume (a job may fail
# on the damaged volume, but only with its own exit codes). An image holds the volume's first
# ceil(T/63) blocks of 63 sectors, zero-padded, also from a loop device, and scans as the volume;
# an image onto its source or onto a volume mounted from it is refused.
source "$(dirname "$0")/lib/common.bash"
need sha256sum python3 fls istat icat mmls sfdisk losetup ntfs-3g jq
need_volumes
need_corpus
need_root
check=$src/tests/real/lib/check.py
cd "$work"

declare -A size=([mbr]=51M [gpt]=90M)  # and the sfdisk script (";" for a new line), "start volume" per partition
declare -A script=(
  [mbr]="label: dos;start=2048,size=32768,type=e;start=34816,size=67584,type=5;start=36864,size=65536,type=7"
  [gpt]="label: gpt;start=2048,size=32768;start=34816,size=81920;start=116736,size=65536"
)
declare -A placed=([mbr]="2048 fat16 36864 ntfs" [gpt]="2048 fat16 34816 fat32 116736 ntfs")
for disk in mbr gpt; do
  truncate -s "${size[$disk]}" $disk.img
  tr ';' '\n' <<<"${script[$disk]}" | sfdisk -q $disk.img
  read -ra pairs <<<"${placed[$disk]}"
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do
    dd if="$volumes/${pairs[i + 1]}.img" of=$disk.img bs=512 seek="${pairs[i]}" conv=notrunc status=none
  done
  diff -u <(mmls $disk.img | awk '$2 ~ /^[0-9]+(:[0-9]+)?$/ { print $3 + 0, $5 + 0 }' | sort -n) \
    <("$cli" info $disk.img --json | jq -r '.partitions[] | select(.fileSystem | startswith("extended") | not) |
      "\(.start) \(.sectors)"' | sort -n) || fail "$disk: the partitions differ from mmls's"
  "$cli" scan $disk.img --json --save-scan $disk.qxs >scan-$disk.json 2>scan-$disk.err
  [[ ! -s scan-$disk.err ]] || fail "$disk: $(cat scan-$disk.err)"
  "$cli" recover $disk.img --to out-$disk >/dev/null
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do
    listing $disk.img --offset "${pairs[i]}" --manifest "$volumes/${pairs[i + 1]}.tsv"
    folder=$(jq -r --argjson s "${pairs[i]}" '.partitions[] | select(.start == $s) | .folder' scan-$disk.json)
    python3 "$check" recovered "$volumes/${pairs[i + 1]}.img" "$volumes/${pairs[i + 1]}.tsv" "out-$disk/#/$folder" ||
      fail "$disk: partition $folder recovered otherwise"
  done
  "$cli" recover --scan $disk.qxs --source $disk.img --to again-$disk >/dev/null
  diff -r out-$disk again-$disk || fail "$disk: the saved scan saved other files"
done

# One partition alone: the tree of the volume image itself, and its saved scan saves from the
# disk image and from the volume image alike.
cmp <("$cli" scan gpt.img --partition 2 --json --save-scan p2.qxs) <("$cli" scan "$volumes/fat32.img" --json) ||
  fail "--partition 2 differs from the volume"
"$cli" recover --scan p2.qxs --source gpt.img --to p2-disk --only 'Documents/*' >/dev/null
"$cli" recover --scan p2.qxs --source "$volumes/fat32.img" --to p2-volume --only 'Documents/*' >/dev/null
diff -r p2-disk p2-volume && [[ -n $(ls p2-disk/#/Documents) ]] || fail "the saved scan of partition 2"
expect 1 "$cli" scan gpt.img --partition 7
grep -q 'no such partition.*it lists 1, 2, 3' last.err || fail "$(cat last.err)"

# Damaged entries: one starting past the end of the disk, one overlapping partition 1.
cp mbr.img bad.img
python3 - <<'PY'
import struct
with open("bad.img", "r+b") as disk:
    for slot, kind, start, count in ((2, 0x07, 90_000_000, 2048), (3, 0x0C, 4096, 8192)):
        disk.seek(446 + 16 * slot)
        disk.write(struct.pack("<4xB3xII", kind, start, count))
PY
"$cli" scan bad.img --json >bad.json 2>bad.err
diff - bad.err <<'EOF' || fail "the damaged entries are named otherwise"
partition 3 (sectors 90000000..90002047) skipped: starts past the end of the disk (it has 104448 sectors)
partition 4 (sectors 4096..12287) skipped: overlaps partition 1
EOF
jq -e '[.partitions[].number] == [1, 5]' bad.json >/dev/null && cmp <(jq -S .root bad.json) <(jq -S .root scan-mbr.json) ||
  fail "the sound partitions of a damaged table are scanned otherwise"

for name in fat16 fat32 ntfs; do cp "$volumes/$name.img" $name.img; done
cp "$corpus/dftt-ntfs-7-undel.img" .
cp dftt-ntfs-7-undel.img damaged.img
python3 - damaged.img <<'PY'  # records 2..47 of the table overwritten in the middle
import random, struct, sys
with open(sys.argv[1], "r+b") as f:
    boot, rng = f.read(512), random.Random(12345)
    for record in range(2, 48):
        f.seek(struct.unpack_from("<Q", boot, 0x30)[0] * boot[0x0D] * 512 + record * 1024 + 0x30)
        f.write(rng.randbytes(200))
PY
jobs=0
for image in fat16.img fat32.img ntfs.img dftt-ntfs-7-undel.img damaged.img; do
  before=$(sha256sum <$image)
  rm -rf dest && mkdir dest
  for job in "info $image" "info $image --disk" "scan $image --save-scan scan.qxs" "scan $image --lost --all-types" \
             "scan $image --advanced --disk --all-types" "image $image copy.qxi" "show scan.qxs" "recover $image --to dest" \
             "recover $image --to dest --lost --all-types" "recover --scan scan.qxs --source $image --to dest"; do
    code=0
    read -ra args <<<"$job"
    "$cli" "${args[@]}" >/dev/null 2>&1 || code=$?
    [[ $code -le 2 ]] || fail "$job ended with $code"
    [[ $(sha256sum <$image) == "$before" ]] || fail "$job changed $image"
    jobs=$((jobs + 1))
  done
done
cmp -s "$corpus/dftt-ntfs-7-undel.img" dftt-ntfs-7-undel.img || fail "the sample changed"

image_is() {  # image_is IMAGE_FILE VOLUME_FILE: the image holds the volume's whole blocks
  local total
  total=$("$cli" info "$2" --json | jq .totalSectors)
  cp "$2" expected.bin
  truncate -s $(((total + 62) / 63 * 32256)) expected.bin
  cmp expected.bin "$1" || fail "the image of $2 differs from its volume"
}
for name in fat16 fat32 ntfs; do
  "$cli" image $name.img $name.qxi >/dev/null
  image_is $name.qxi $name.img
  cmp <("$cli" scan $name.img --json) <("$cli" scan $name.qxi --json) || fail "$name: the scan of the image differs"
  diff <(fls -r -p $name.img) <(fls -r -p $name.qxi) >/dev/null || fail "$name: fls reads the image otherwise"
done
ln fat16.img same.qxi
expect 1 "$cli" image fat16.img same.qxi
grep -q "is the source itself" last.err || fail "unclear refusal: $(cat last.err)"
attach loop ntfs.img
"$cli" image "$loop" loop.qxi >/dev/null
image_is loop.qxi ntfs.img
mkdir mnt
ntfs-3g "$loop" mnt
mounts+=("$work/mnt")
expect 1 "$cli" image "$loop" mnt/out.qxi
grep -q "would be written onto the source" last.err || fail "unclear refusal: $(cat last.err)"
[[ ! -e mnt/out.qxi ]] || fail "an image file was created on the source"
echo "images: disks scanned and recovered partition by partition, $jobs jobs left their sources as they were, images are exact"
