#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The inventory of real loop devices: a FAT32 and an NTFS volume on whole devices and a disk with
# two partitions (FAT16 and NTFS) show up in `restora-cli drives --json` with their file systems,
# sizes, serial numbers and labels.
set -euo pipefail
cli=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: needs root to attach loop devices"; exit 77; }
for tool in losetup sfdisk partx mkfs.fat mkntfs jq; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
loops=()
nodes=()
cleanup() {
  for node in "${nodes[@]}"; do rm -f "$node"; done
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

truncate -s 64M fat32.img && mkfs.fat -F 32 -n FATVOL -i 1A2B3C4D fat32.img >/dev/null
truncate -s 40M ntfs.img && mkntfs -F -Q -q -L NTFSVOL ntfs.img 2>/dev/null
truncate -s 48M parted.img
printf 'label: dos\nstart=2048, size=32768, type=6\nstart=34816, type=7\n' | sfdisk -q parted.img
fat=$(losetup --find --show fat32.img) || { echo "SKIPPED: cannot attach a loop device"; exit 77; }
loops+=("$fat")
ntfs=$(losetup --find --show ntfs.img); loops+=("$ntfs")
disk=$(losetup -P --find --show parted.img); loops+=("$disk")
name=${disk#/dev/}
# Where the loop driver does not scan partitions, partx adds them; where nothing makes their
# device nodes, make them from sysfs.
[ -e "/sys/class/block/$name/${name}p1" ] || partx -a "$disk"
for part in 1 2; do
  sys=/sys/class/block/$name/${name}p$part
  [ -e "$sys" ] || fail "partition $part of $disk does not appear"
  if [ ! -e "/dev/${name}p$part" ]; then
    IFS=: read -r major minor <"$sys/dev"
    mknod "/dev/${name}p$part" b "$major" "$minor"; nodes+=("/dev/${name}p$part")
  fi
done
mkfs.fat -F 16 -n PARTONE -i 0BADF00D "/dev/${name}p1" >/dev/null
mkntfs -F -Q -q -L PARTTWO "/dev/${name}p2" 2>/dev/null
serial() { od -An -t x4 -j "$2" -N 4 "$1" | tr -d ' ' | tr a-f A-F; }

"$cli" drives --json --disk "$fat" --disk "$ntfs" --disk "$disk" >drives.json
jq -e '.disks | length == 3' drives.json >/dev/null || fail "expected three disks: $(cat drives.json)"

# device, partition index, expected "fileSystem size serial volumeName"
check() {
  local got
  got=$(jq -r --arg d "$1" --argjson p "$2" \
    '.disks[] | select(.device == $d) | .partitions[$p].drives[0] | "\(.fileSystem) \(.size) \(.serial) \(.volumeName)"' drives.json)
  [ "$got" = "$3" ] || fail "$1 partition $2: got '$got', expected '$3'"
}
check "$fat" 0 "FAT32 $((64 << 20)) 1A2B3C4D FATVOL"
check "$ntfs" 0 "NTFS $((40 << 20)) $(serial ntfs.img 72) NTFSVOL"
check "$disk" 0 "FAT 16777216 0BADF00D PARTONE"
check "$disk" 1 "NTFS $(((98304 - 34816) * 512)) $(serial parted.img $((34816 * 512 + 72))) PARTTWO"

labels=$(jq -r --arg d "$disk" '.disks[] | select(.device == $d) | [.label, .partitions[].label, .partitions[].drives[].label] | join("|")' drives.json)
number=$(jq -r --arg d "$disk" '.disks[] | select(.device == $d) | .label | capture("Disk # (?<n>[0-9]+)").n' drives.json)
expected="Disk # $number (48.00 MB))|Disk #$number, Partition #0 (16.00 MB))|Disk #$number, Partition #1 (31.00 MB))"
expected+="|/dev/${name}p1 (16.00 MB))|/dev/${name}p2 (31.00 MB))"
[ "$labels" = "$expected" ] || fail "labels '$labels', expected '$expected'"
jq -e --arg d "$disk" '.disks[] | select(.device == $d) | .partitions | map(.device) == [$d + "p1", $d + "p2"]' drives.json >/dev/null \
  || fail "partition devices of $disk"
echo "PASS"
