#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole disks, images and untouched sources. Disks made with sfdisk from the fixture's volumes (an
# MBR disk with a FAT16 primary and an NTFS logical partition, a GPT disk with FAT16, FAT32 and
# NTFS): the table as mmls reads it, every partition scanned below a folder of its own as fls -o
# START lists it and recovered with the written bytes, and a saved scan that reopens each partition
# from the disk. Every job leaves its source's bytes as they were (SHA-256 before and after each):
# the volumes and a public sample. An image holds the volume's first
# ceil(T/63) blocks of 63 sectors, zero-padded, also from a loop device, and scans as the volume;
# an image onto its source or onto a volume mounted from it is refused.
source "$(dirname "$0")/lib/common.bash"
need sha256sum python3 fls istat icat mmls sfdisk losetup ntfs-3g jq
need_volumes
need_corpus
need_root
check=$src/tests/real/lib/check.py
cd "$work"

# disk | size | sfdisk script (";" for a new line) | "start volume" per partition
while IFS='|' read -r -u 3 disk size script placed; do
  truncate -s "$size" $disk.img
  tr ';' '\n' <<<"$script" | sfdisk -q $disk.img
  read -ra pairs <<<"$placed"
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
done 3<<EOF
mbr|51M|label: dos;start=2048,size=32768,type=e;start=34816,size=67584,type=5;start=36864,size=65536,type=7|2048 fat16 36864 ntfs
gpt|90M|label: gpt;start=2048,size=32768;start=34816,size=81920;start=116736,size=65536|2048 fat16 34816 fat32 116736 ntfs
EOF

for name in fat16 fat32 ntfs; do cp "$volumes/$name.img" $name.img; done
jobs=0
for image in fat16.img fat32.img ntfs.img "$corpus/dftt-ntfs-7-undel.img"; do
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
done
ln fat16.img same.qxi
expect 1 "$cli" image fat16.img same.qxi
grep -q "is the source itself" last.err || fail "unclear refusal: $(cat last.err)"
loop=$(losetup --find --show ntfs.img) && loops+=("$loop")
"$cli" image "$loop" loop.qxi >/dev/null
image_is loop.qxi ntfs.img
mkdir mnt
ntfs-3g "$loop" mnt
mounts+=("$work/mnt")
expect 1 "$cli" image "$loop" mnt/out.qxi
grep -q "would be written onto the source" last.err || fail "unclear refusal: $(cat last.err)"
[[ ! -e mnt/out.qxi ]] || fail "an image file was created on the source"
echo "images: disks scanned and recovered partition by partition, $jobs jobs left their sources as they were, images are exact"
