#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a FAT16 or FAT32 volume image with mkfs.fat and fills it with mtools only (no mount): a
# fixed tree of files with fixed contents, then deletes some files (mdel) and folders (mdeltree)
# and writes nothing after that, so the deleted files' clusters keep their data.
#
# usage: scripts/make-fat-volume.sh {16|32} OUT.img MANIFEST.tsv [SIZE_MIB]
#
# MANIFEST.tsv gets one line per file written: status ("deleted" or "live"), size, SHA-256 and
# the path from the volume root ("/" separators, UTF-8), separated by tabs.
#
# What the tree holds, for the tests that read it:
# - nested folders, long names with Unicode, long names of exactly 13 and 26 characters;
# - 8.3 names in upper case and in lower case (stored as 8.3 with case flags, no long name);
# - "Big folder": 80 files whose names take two long-name entries and a short entry each, so
#   that with either cluster size some long names straddle a cluster boundary, both inside the
#   run of long-name entries and between the run and its short entry; every odd-numbered file
#   and every 16th from the 4th on are deleted;
# - files of 0 bytes up to several clusters; a folder deleted with mdeltree (with a subfolder)
#   and an 8.3-named one, an empty deleted folder, a live folder holding only live files.
# FAT16 gets 2 KiB clusters and 512 root entries, FAT32 512-byte clusters; both get media byte
# 0xF8, the label RESTORA and a fixed volume id.
set -euo pipefail

usage() {
  echo "usage: $0 {16|32} OUT.img MANIFEST.tsv [SIZE_MIB]" >&2
  exit 2
}

[[ $# -ge 3 && $# -le 4 ]] || usage
width=$1
image=$2
manifest=$3
case "$width" in
  16) size_mib=${4:-16} ;;
  32) size_mib=${4:-40} ;;
  *) usage ;;
esac
[[ "$size_mib" =~ ^[0-9]+$ ]] || usage

for tool in mkfs.fat mcopy mmd mdel mdeltree sha256sum; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done

# mtools turns UTF-8 file names into long names only under a UTF-8 locale.
export LC_ALL=C.UTF-8
export MTOOLS_SKIP_CHECK=1
export MTOOLS_NO_VFAT=0

if [[ $width == 16 ]]; then
  # FAT16 needs fewer than 65525 clusters; 2 KiB clusters serve up to about 127 MiB.
  if ((size_mib < 9 || size_mib > 127)); then echo "$0: FAT16 size must be 9..127 MiB" >&2; exit 1; fi
  format=(-F 16 -s 4 -r 512)
else
  # FAT32 needs at least 65525 clusters; with 512-byte clusters that is about 33 MiB.
  if ((size_mib < 34)); then echo "$0: FAT32 size must be at least 34 MiB" >&2; exit 1; fi
  format=(-F 32 -s 1)
fi

rm -f "$image"
mkfs.fat "${format[@]}" -M 0xF8 -n RESTORA -i 5EED0001 -C "$image" $((size_mib * 1024)) >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$manifest"

# The content of file number seed: fixed text, so its SHA-256 never changes.
make_content() {
  local seed=$1 size=$2
  yes "restora test file $seed; the same bytes every time." | head -c "$size" >"$work/content" || true
}

written=()  # paths in the order written
declare -A sizes hashes status

put() {  # put PATH SIZE SEED
  local path=$1 size=$2 seed=$3
  make_content "$seed" "$size"
  mcopy -i "$image" "$work/content" "::/$path"
  written+=("$path")
  sizes[$path]=$size
  hashes[$path]=$(sha256sum "$work/content" | cut -d' ' -f1)
  status[$path]=live
}

folder() { mmd -i "$image" "::/$1"; }

forget() {  # marks every file at or below a path as deleted in the manifest
  local prefix=$1 path
  for path in "${written[@]}"; do
    if [[ $path == "$prefix" || $path == "$prefix/"* ]]; then status[$path]=deleted; fi
  done
}

# The tree.
put "README.TXT" 1200 1
put "notes.txt" 300 2
put "GONE.TXT" 777 3
put "lower.txt" 888 4
put "Zero length file.txt" 0 5
folder "Documents"
put "Documents/report 2023 final.docx" 20000 6
put "Documents/Ünïcødé naïve résumé ☃.txt" 5000 7
put "Documents/abcdefghijklm" 1500 8
put "Documents/abcdefghijklmnopqrstuvwxyz" 2500 9
put "Documents/empty.txt" 0 10
folder "Documents/Deep"
folder "Documents/Deep/Deeper"
folder "Documents/Deep/Deeper/Deepest"
put "Documents/Deep/Deeper/keep.bin" 512 11
put "Documents/Deep/Deeper/Deepest/old photo.jpg" 70000 12
put "Documents/Deep/Deeper/Deepest/日本語のファイル名.txt" 4096 13
folder "Music"
put "Music/song one.mp3" 9000 14
folder "Old Projects"
put "Old Projects/plan.txt" 4000 15
put "Old Projects/Budget Q3 (draft).xlsx" 12000 16
folder "Old Projects/sub dir"
put "Old Projects/sub dir/data.csv" 9000 17
put "Old Projects/sub dir/EMPTY.DAT" 0 18
folder "TRASH"
put "TRASH/JUNK.DAT" 2222 19
put "TRASH/a.txt" 100 20
folder "Empty Dir"
folder "Big folder"
for k in $(seq 0 79); do
  put "$(printf 'Big folder/long name %03d.dat' "$k")" $((100 + k * 37)) $((100 + k))
done

# The deletes, after every write.
for path in "GONE.TXT" "lower.txt" "Zero length file.txt" "Documents/Ünïcødé naïve résumé ☃.txt" \
  "Documents/abcdefghijklm" "Documents/abcdefghijklmnopqrstuvwxyz" "Documents/empty.txt" \
  "Documents/Deep/Deeper/Deepest/old photo.jpg" "Documents/Deep/Deeper/Deepest/日本語のファイル名.txt"; do
  mdel -i "$image" "::/$path"
  status[$path]=deleted
done
for k in $(seq 0 79); do
  if ((k % 2 == 1 || k % 16 == 4)); then
    path=$(printf 'Big folder/long name %03d.dat' "$k")
    mdel -i "$image" "::/$path"
    status[$path]=deleted
  fi
done
for path in "Old Projects" "TRASH" "Empty Dir"; do
  mdeltree -i "$image" "::/$path"
  forget "$path"
done

for path in "${written[@]}"; do
  printf '%s\t%s\t%s\t%s\n' "${status[$path]}" "${sizes[$path]}" "${hashes[$path]}" "$path" >>"$manifest"
done
