#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fixture of the end-to-end tests, run once per test run: FAT16 and FAT32 volumes made by
# mkfs.fat and mtools, and an NTFS volume made by mkntfs and filled through an ntfs-3g mount, each
# with a manifest of what was written and deleted (scripts/make-*-volume.sh).
set -euo pipefail
volumes=${RESTORA_VOLUMES:?}
src=${RESTORA_SOURCE_DIR:?}
for tool in mkfs.fat mcopy mkntfs ntfs-3g setfattr openssl mountpoint; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
[[ $(id -u) == 0 && -e /dev/fuse ]] || { echo "SKIPPED: the ntfs-3g mount needs root and /dev/fuse"; exit 77; }
rm -rf "$volumes"
mkdir -p "$volumes"
bash "$src/scripts/make-fat-volume.sh" 16 "$volumes/fat16.img" "$volumes/fat16.tsv"
bash "$src/scripts/make-fat-volume.sh" 32 "$volumes/fat32.img" "$volumes/fat32.tsv"
bash "$src/scripts/make-ntfs-volume.sh" "$volumes/ntfs.img" "$volumes/ntfs.tsv" 32
for width in 16 32; do  # a volume without deleted files would prove nothing
  [[ $(grep -c "^deleted" "$volumes/fat$width.tsv") -gt 20 ]]
done
touch "$volumes/ready"
