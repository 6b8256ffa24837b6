#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-disk images: an MBR disk (a FAT16 primary and an NTFS logical partition) and a GPT disk
# (FAT16, FAT32 and NTFS), made with sfdisk and filled with volumes made by mkfs.fat + mtools and
# mkntfs + ntfs-3g. restora-cli lists the table as mmls does, scans every partition below a
# folder of its own as fls -o START lists it, recovers the written bytes (SHA-256), saves a scan
# that reopens each partition from the disk, takes --partition N, and on a table with damaged
# entries scans the sound partitions and names each skipped one.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in sfdisk mkfs.fat mcopy mkntfs ntfs-3g setfattr openssl fls istat icat mmls jq python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
[[ -e /dev/fuse ]] || { echo "SKIPPED: no /dev/fuse for the ntfs-3g mount"; exit 77; }
source "$src/tests/real/lib/ntfs_listings.bash"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
bash "$src/scripts/make-fat-volume.sh" 16 fat16.img fat16.tsv >/dev/null
bash "$src/scripts/make-fat-volume.sh" 32 fat32.img fat32.tsv >/dev/null
bash "$src/scripts/make-ntfs-volume.sh" ntfs.img ntfs.tsv 32 >/dev/null

# Each disk: its size, its sfdisk script (";" for a new line), and "start volume" per partition
# that holds a volume.
declare -A size=([mbr]=51M [gpt]=90M)
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
    dd if="${pairs[i + 1]}.img" of=$disk.img bs=512 seek="${pairs[i]}" conv=notrunc status=none
  done

  # The table as mmls reads it: start and length of every partition (not the extended one).
  mmls $disk.img | awk '$2 ~ /^[0-9]+(:[0-9]+)?$/ { print $3 + 0, $5 + 0 }' | sort -n >mmls-$disk.txt
  "$cli" info $disk.img --json >info-$disk.json
  jq -r '.partitions[] | select(.fileSystem | startswith("extended") | not) | "\(.start) \(.sectors)"' \
    info-$disk.json | sort -n >ours-$disk.txt
  diff -u mmls-$disk.txt ours-$disk.txt

  "$cli" scan $disk.img --json --save-scan $disk.qxs >scan-$disk.json 2>scan-$disk.err
  [[ ! -s scan-$disk.err ]] || { cat scan-$disk.err >&2; exit 1; }
  mkdir out-$disk
  "$cli" recover $disk.img --to out-$disk >recover-$disk.log
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do
    start=${pairs[i]}
    volume=${pairs[i + 1]}
    folder=$(jq -r --argjson s "$start" '.partitions[] | select(.start == $s) | .folder' scan-$disk.json)
    kind=$(jq -r --argjson s "$start" '.partitions[] | select(.start == $s) | .kind' scan-$disk.json)
    # The partition's folder as the listing of a volume of its own.
    jq --arg f "$folder" --arg k "$kind" --argjson s "$start" '{kind: $k, completed: .completed,
      totalSectors: (.partitions[] | select(.start == $s) | .sectors),
      root: (.root.children[] | select(.name == $f) | .name = ".")}' scan-$disk.json >part.json
    if [[ $volume == ntfs ]]; then
      fls -o "$start" -r -d -p $disk.img >fls-deleted.txt
      # istat reads the same bytes from the volume image that fls -o reads on the disk.
      diff -u <(tsk_deleted_files ntfs.img fls-deleted.txt | sort) <(restora_deleted_files part.json | sort)
    else
      fls -o "$start" -r -p -l $disk.img >fls-all.txt
      fls -o "$start" -r -d -p -l $disk.img >fls-deleted.txt
      python3 "$src/tests/real/lib/fat_vs_fls.py" part.json fls-all.txt fls-deleted.txt $volume.tsv >/dev/null
    fi
    python3 "$src/tests/real/lib/recover_check.py" $volume.img $volume.tsv "out-$disk/#/$folder" >/dev/null
  done

  # The saved scan reopens each partition from the disk and saves the same bytes.
  mkdir again-$disk
  "$cli" recover --scan $disk.qxs --source $disk.img --to again-$disk >/dev/null
  diff -r out-$disk again-$disk
done

# One partition alone: the same tree as the volume image itself, and its saved scan saves from
# the disk image and from the volume image alike.
"$cli" scan gpt.img --partition 2 --json --save-scan p2.qxs >p2.json
"$cli" scan fat32.img --json >fat32.json
cmp p2.json fat32.json
mkdir p2-disk p2-volume
"$cli" recover --scan p2.qxs --source gpt.img --to p2-disk --only 'Documents/*' >/dev/null
"$cli" recover --scan p2.qxs --source fat32.img --to p2-volume --only 'Documents/*' >/dev/null
diff -r p2-disk p2-volume
[[ -n $(ls p2-disk/#/Documents) ]]
if "$cli" scan gpt.img --partition 7 2>err.txt; then exit 1; fi
grep -q 'no such partition.*it lists 1, 2, 3' err.txt

# Damaged entries: one starting past the end of the disk, one overlapping partition 1. Both are
# named on standard error; the sound partitions are scanned as before.
cp mbr.img bad.img
python3 - <<'PY'
import struct
with open("bad.img", "r+b") as disk:
    for slot, kind, start, count in ((2, 0x07, 90_000_000, 2048), (3, 0x0C, 4096, 8192)):
        disk.seek(446 + 16 * slot)
        disk.write(struct.pack("<4xB3xII", kind, start, count))
PY
"$cli" scan bad.img --json >bad.json 2>bad.err
grep -q '^partition 3 (sectors 90000000\.\.90002047) skipped: starts past the end' bad.err
grep -q '^partition 4 (sectors 4096\.\.12287) skipped: overlaps partition 1$' bad.err
[[ $(wc -l <bad.err) -eq 2 ]]
jq -e '[.partitions[].number] == [1, 5]' bad.json >/dev/null
cmp <(jq -S .root bad.json) <(jq -S .root scan-mbr.json)
echo "partitions: MBR and GPT disks scanned and recovered partition by partition"
