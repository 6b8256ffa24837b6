#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fast scan of the public FAT sample volumes, checked against their stored fls listings, and
# the refusal of volumes that are not FAT16 or FAT32 with 512-byte sectors.
# usage: fat_corpus_vs_fls.sh PATH/TO/restora-cli
set -euo pipefail
cli=$1
source_dir=${RESTORA_SOURCE_DIR:?}
corpus=${RESTORA_CORPUS_DIR:-$source_dir/../shared/corpus/real}

if [[ ! -d $corpus ]]; then
  echo "SKIPPED: no sample volumes at $corpus"
  exit 0
fi
for tool in fls python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

compare() {  # compare NAME [fat_fls_compare.py options]
  local name=$1
  shift
  local image=$corpus/$name.img
  # The stored listing is the oracle; the sizes come from the same fls run again with -l.
  fls -r -d -p "$image" >"$work/$name.deleted.txt"
  if ! diff -q "$corpus/$name.img.fls-deleted.txt" "$work/$name.deleted.txt" >/dev/null; then
    echo "$name: fls now lists other deleted entries than the stored listing" >&2
    exit 1
  fi
  "$cli" scan "$image" --json >"$work/$name.json"
  fls -r -p -l "$image" >"$work/$name.all-l.txt"
  fls -r -d -p -l "$image" >"$work/$name.deleted-l.txt"
  python3 "$source_dir/tests/real/fat_fls_compare.py" --scan "$work/$name.json" \
    --fls-all "$work/$name.all-l.txt" --fls-deleted "$work/$name.deleted-l.txt" "$@"
}

# Deleted files, fragmented ones and a deleted folder holding a folder that XP left marked live:
# everything below a deleted folder is listed, as fls does.
compare dftt-fat16-6-undel
# "New Folder" was renamed to dir1 (a new entry; the old one marked deleted), so the deleted
# entry's first cluster is dir1's. The scan reads a deleted folder from its first cluster,
# whatever lies there now, and lists every entry in it; here that is FILE2.DLL, an entry with the
# volume-label attribute that owns clusters. fls does not go into a deleted folder whose cluster
# is in use again, so only the scan lists it.
compare dftt-fat16-9-label --extra-ok "New Folder/FILE2.DLL"
# A deleted folder with a deleted file and a deleted long-name-only file of 0 bytes (not listed).
compare fatcat-fat32-deleted
# Deleted folders whose files are all empty: nothing is listed, and the folders are removed.
compare dfirntfs-fat16-deleted-dir
# Long names and nested folders, nothing deleted.
compare rustfatfs-fat16-lfn
# A folder loop and an empty deleted folder: the scan ends and lists nothing.
compare dfirntfs-fat32-loop

grep -qx 'file 2027 XIR1/DIR2/FRAG3.DAT' <("$cli" scan "$corpus/dftt-fat16-6-undel.img")

# FAT12, and FAT32 with 2048-byte sectors, are refused with a message and exit code 1.
for name in dftt-fat12-5-daylight dfirntfs-fat32-small; do
  status=0
  "$cli" scan "$corpus/$name.img" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  if [[ $status != 1 ]] || [[ -s $work/out.txt ]] || ! grep -q 'not a FAT16, FAT32 or NTFS volume' "$work/err.txt"; then
    echo "$name: expected a refusal with exit code 1, got $status: $(cat "$work/err.txt")" >&2
    exit 1
  fi
done
echo "fat_corpus_vs_fls: the sample volumes agree with fls"
