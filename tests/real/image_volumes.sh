#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Images of FAT16, FAT32 and NTFS volumes with deleted files: the file holds the first ⌈T/63⌉ blocks
# of 63 sectors, zero-padded; a scan of the image lists what a scan of the volume lists, and The
# Sleuth Kit reads the same files from both. An image onto its own source and a file of zeros
# are refused.
set -euo pipefail
cli=$(realpath "$1")
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkfs.fat mcopy mdel mdeltree mkntfs ntfscp fls; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

head -c 300000 /dev/urandom >big.bin

# The total sector count stored in a boot sector: $2 bytes at offset $3.
total_sectors() { od -An -t "u$2" -j "$3" -N "$2" "$1" | tr -d ' '; }
# A FAT boot sector keeps the count in 16 bits at 0x13, or in 32 bits at 0x20 when that is 0.
fat_total_sectors() {
  local short; short=$(total_sectors "$1" 2 19)
  if [ "$short" -ne 0 ]; then echo "$short"; else total_sectors "$1" 4 32; fi
}

check_image() {  # volume, total sectors
  local volume=$1 total=$2
  local size=$(( (total + 62) / 63 * 32256 ))
  "$cli" image "$volume" "$volume.qxi" >/dev/null
  [ "$(stat -c %s "$volume.qxi")" -eq "$size" ] || { echo "FAIL: $volume: image of $(stat -c %s "$volume.qxi") bytes, not $size"; exit 1; }
  cp "$volume" expected.bin
  truncate -s "$size" expected.bin
  cmp expected.bin "$volume.qxi" || { echo "FAIL: $volume: image bytes differ"; exit 1; }
  "$cli" scan "$volume" --json >from-volume.json
  "$cli" scan "$volume.qxi" --json >from-image.json
  cmp from-volume.json from-image.json || { echo "FAIL: $volume: the scans of volume and image differ"; exit 1; }
  diff <(fls -r -p "$volume") <(fls -r -p "$volume.qxi") >/dev/null || { echo "FAIL: $volume: fls differs"; exit 1; }
}

# Filled and partly deleted FAT16 and FAT32 volumes; neither sector count is a multiple of 63.
for width in 16 32; do
  bash "$src/scripts/make-fat-volume.sh" "$width" "fat$width.img" "fat$width.tsv" $((width == 16 ? 20 : 40))
  "$cli" scan "fat$width.img" --list | grep -q '^deleted-file' || { echo "FAIL: no deleted files on fat$width.img"; exit 1; }
done
check_image fat16.img "$(fat_total_sectors fat16.img)"
check_image fat32.img "$(fat_total_sectors fat32.img)"
# NTFS: mkntfs leaves the last sector outside the volume, so T is one less than the file holds.
# With an ntfs-3g mount the volume holds deleted files, which the scan of the image must list.
if command -v setfattr >/dev/null && command -v openssl >/dev/null && [ -e /dev/fuse ]; then
  bash "$src/scripts/make-ntfs-volume.sh" ntfs.img manifest.tsv 24
  "$cli" scan ntfs.img --list | grep -q '^deleted-file' || { echo "FAIL: no deleted files on ntfs.img"; exit 1; }
else
  truncate -s $((30000 * 512)) ntfs.img
  mkntfs -F -Q -q ntfs.img 2>/dev/null
  ntfscp -q ntfs.img big.bin big.bin
fi
check_image ntfs.img "$(total_sectors ntfs.img 8 40)"

# Never onto the source, also not through another name for it.
before=$(md5sum <fat16.img)
ln fat16.img same.qxi
if "$cli" image fat16.img same.qxi 2>err.txt; then echo "FAIL: imaged a volume onto itself"; exit 1; fi
grep -q "is the source itself" err.txt || { echo "FAIL: unclear refusal: $(cat err.txt)"; exit 1; }
[ "$(md5sum <fat16.img)" = "$before" ] || { echo "FAIL: the source changed"; exit 1; }

# A file of zeros is no image.
head -c 1048576 /dev/zero >zeros.qxi
if "$cli" scan zeros.qxi 2>err.txt; then echo "FAIL: a file of zeros was scanned as an image"; exit 1; fi
grep -q "Failed to open image file or image file is not valid" err.txt || { echo "FAIL: message: $(cat err.txt)"; exit 1; }
echo "PASS"
