#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover on an NTFS volume made by mkntfs and filled through an ntfs-3g mount:
# every deleted file with content comes back byte-exactly (SHA-256 as written and as icat reads
# the same record): resident and non-resident data, a fragmented file, files compressed by
# ntfs-3g, files in deleted folders, and a file with a named stream (saved with its unnamed data).
# A second volume, filled up first so that new files can only go into the holes of deleted
# ones, holds deleted fragmented files, one of them compressed.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkntfs ntfs-3g setfattr openssl fls icat python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[[ -e /dev/fuse ]] || { echo "SKIPPED: no /dev/fuse for the ntfs-3g mount"; exit 0; }

work=$(mktemp -d)
ntfs_pid=""
cleanup() {
  if mountpoint -q "$work/mnt" 2>/dev/null; then umount "$work/mnt" || umount -l "$work/mnt"; fi
  if [[ -n $ntfs_pid ]]; then wait "$ntfs_pid" 2>/dev/null || true; fi
  if [[ -n ${KEEP_WORK:-} ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
bash "$src/scripts/make-ntfs-volume.sh" "$work/volume.img" "$work/manifest.tsv" 32
mkdir "$work/out"
"$cli" recover "$work/volume.img" --to "$work/out" >"$work/recover.log"
python3 "$src/tests/real/recover_check.py" "$work/volume.img" "$work/manifest.tsv" "$work/out/#" \
  --kind "resident=root-deleted.txt|docs/Ünïcödé ファイル.txt|photos/b.txt|photos/2019/d.txt@Name: N/A +Resident" \
  --kind "non-resident=docs/notes.txt|docs/A Very Long*|docs/Project Archive 2019/*|docs/Ελληνικά*|docs/sub/*|photos/a.jpg|photos/2019/c.bin|big/*|frag/*@Non-Resident +size" \
  --kind "compressed=compressed/*@Non-Resident, Compressed" \
  --kind "with a named stream=docs/deleted-with-stream.txt@Name: author "

# Saving the same tree again keeps the first files and puts the new ones in "_#_1" folders.
"$cli" recover "$work/volume.img" --to "$work/out" --only 'frag/*' >"$work/again.log"
cmp "$work/out/#/frag/one.bin" "$work/out/#/frag_#_1/one.bin"

# The holes volume: sixteen 64 KiB files, ballast and small files up to the last free cluster,
# every other 64 KiB file deleted, then the files under test written into the holes and deleted.
truncate -s 16M "$work/holes.img"
mkntfs -F -f -q "$work/holes.img" >/dev/null 2>&1
mkdir "$work/mnt"
ntfs-3g -o no_detach,compression "$work/holes.img" "$work/mnt" >"$work/ntfs-3g.log" 2>&1 &
ntfs_pid=$!
for _ in $(seq 100); do mountpoint -q "$work/mnt" && break; sleep 0.1; done
mountpoint -q "$work/mnt" || { cat "$work/ntfs-3g.log" >&2; exit 1; }
for i in $(seq 1 128); do head -c 8192 /dev/urandom >"$work/mnt/fill$i"; done
head -c 100M /dev/zero >"$work/mnt/ballast" 2>/dev/null || true
for i in $(seq 1 300); do head -c 4096 /dev/zero >"$work/mnt/topup$i" 2>/dev/null || break; done
sync
for i in $(seq 1 2 128); do rm "$work/mnt/fill$i"; done
sync
mkdir "$work/mnt/packed"
setfattr -n system.ntfs_attrib_be -v 0x00000810 "$work/mnt/packed"
random_bytes() { (set +o pipefail; openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null | head -c "$2"); }
# Compressed units alternate with units that do not shrink (stored whole).
for unit in 1 2; do
  random_bytes "packed$unit" 65536
  (set +o pipefail; yes "compressed line $unit" | head -c 65536)
done >"$work/packed.bin"
random_bytes spread 100000 >"$work/spread.bin"
cp "$work/packed.bin" "$work/mnt/packed/packed.bin"
cp "$work/spread.bin" "$work/mnt/spread.bin"
sync
rm "$work/mnt/spread.bin" "$work/mnt/packed/packed.bin"
umount "$work/mnt"
wait "$ntfs_pid"
ntfs_pid=""
for path in spread.bin packed/packed.bin; do
  printf 'deleted\t%s\t%s\t%s\n' "$(stat -c %s "$work/${path#packed/}")" \
    "$(sha256sum <"$work/${path#packed/}" | cut -d' ' -f1)" "$path" >>"$work/holes.tsv"
  record=$(fls -r -p -d "$work/holes.img" | awk -F'\t' -v p="$path" '$2 == p {split($1, f, " "); print f[3]}' | cut -d- -f1)
  # Fragmented: an extent with clusters that does not start where the one before it ended.
  if ! istat -r "$work/holes.img" "$record" | python3 -c '
import re, sys
extents = [(int(a), int(l)) for a, l in re.findall(r"Starting address: (\d+), length: (\d+)", sys.stdin.read())]
sys.exit(0 if any(a != pa + pl for (pa, pl), (a, _) in zip(extents, extents[1:])) else 1)'; then
    echo "$path did not end up fragmented; the test would prove nothing" >&2
    exit 1
  fi
done
mkdir "$work/holes-out"
"$cli" recover "$work/holes.img" --to "$work/holes-out" --only spread.bin --only 'packed/*' >"$work/holes.log"
python3 "$src/tests/real/recover_check.py" "$work/holes.img" "$work/holes.tsv" "$work/holes-out/#" \
  --kind "fragmented=spread.bin@Name: N/A +Non-Resident" --kind "fragmented and compressed=packed/*@Compressed"
