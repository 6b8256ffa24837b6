#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# An NTFS volume on a loop device: its image holds the volume's bytes, its scan equals the scan
# of the backing file, a saved scan keeps the first half of the device path, and an image file
# on the mounted volume itself is refused.
set -euo pipefail
cli=$(realpath "$1")
for tool in losetup mkntfs ntfscp ntfs-3g mountpoint od; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
loop=
cleanup() {
  mountpoint -q "$work/mnt" 2>/dev/null && umount "$work/mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

truncate -s $((20000 * 512)) ntfs.img
mkntfs -F -Q -q ntfs.img 2>/dev/null
head -c 70000 /dev/urandom >data.bin
ntfscp -q ntfs.img data.bin data.bin
loop=$(losetup --find --show ntfs.img 2>/dev/null) || { loop=; echo "SKIPPED: cannot attach a loop device"; exit 0; }

total=$(od -An -t u8 -j 40 -N 8 ntfs.img | tr -d ' ')
size=$(( (total + 62) / 63 * 32256 ))
"$cli" image "$loop" image.qxi >/dev/null
cp ntfs.img expected.bin
truncate -s "$size" expected.bin
cmp expected.bin image.qxi || { echo "FAIL: the image of $loop differs from the volume"; exit 1; }

"$cli" scan "$loop" --json --save-scan saved.qxs >device.json
"$cli" scan ntfs.img --json >file.json
cmp device.json file.json || { echo "FAIL: the scans of $loop and of its file differ"; exit 1; }
# The saved path: its length in characters, then that many bytes of its UTF-16 text.
length=$(od -An -t u2 -j 8 -N 2 saved.qxs | tr -d ' ')
[ "$length" -eq "${#loop}" ] || { echo "FAIL: stored path length $length for $loop"; exit 1; }
stored=$(od -An -c -j 10 -N "$length" saved.qxs | tr -d ' \n' | sed 's/\\0//g')
[ "$stored" = "${loop:0:$(( (length + 1) / 2 ))}" ] || { echo "FAIL: stored path '$stored' for $loop"; exit 1; }

mkdir mnt
if ntfs-3g "$loop" mnt 2>/dev/null; then
  if "$cli" image "$loop" mnt/out.qxi 2>err.txt; then echo "FAIL: imaged $loop onto itself"; exit 1; fi
  grep -q "would be written onto the source" err.txt || { echo "FAIL: unclear refusal: $(cat err.txt)"; exit 1; }
  [ ! -e mnt/out.qxi ] || { echo "FAIL: an image file was created on the source"; exit 1; }
  umount mnt
else
  echo "note: ntfs-3g cannot mount here; the refusal on a mounted source is not checked"
fi
echo "PASS"
