#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes an NTFS volume image with mkntfs, fills it through an ntfs-3g mount with a fixed tree
# (nested folders, resident and large files, fragmented and compressed files, Unicode names, long
# names with 8.3 twins, named streams), deletes some files and whole folders, and writes a
# manifest of every file written: status<TAB>size<TAB>sha256<TAB>path ("path:stream" for a named
# stream). Contents are fixed, so the hashes are the same on every run.
#
# Usage: scripts/make-ntfs-volume.sh OUT.img MANIFEST.tsv [SIZE_MIB]
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: $0 OUT.img MANIFEST.tsv [SIZE_MIB]" >&2
  exit 2
fi
out=$1
manifest=$2
size_mib=${3:-32}
for tool in mkntfs ntfs-3g setfattr openssl sha256sum mountpoint; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 3; }
done

mnt=$(mktemp -d)
scratch=$(mktemp -d)
ntfs_pid=""
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || umount -l "$mnt"; fi
  if [[ -n $ntfs_pid ]]; then wait "$ntfs_pid" 2>/dev/null || true; fi
  rmdir "$mnt" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkntfs -F -f -q "$out" >"$scratch/mkntfs.log" 2>&1 || { cat "$scratch/mkntfs.log" >&2; exit 1; }

# no_detach keeps the driver our own child, so that its exit can be awaited after the unmount.
ntfs-3g -o no_detach,compression,streams_interface=xattr "$out" "$mnt" >"$scratch/ntfs-3g.log" 2>&1 &
ntfs_pid=$!
for _ in $(seq 100); do mountpoint -q "$mnt" && break; sleep 0.1; done
mountpoint -q "$mnt" || { cat "$scratch/ntfs-3g.log" >&2; exit 1; }

declare -a order=()
declare -A sizes=() hashes=() states=()

# Fixed content: "random SEED SIZE" is a keyed AES-CTR stream (incompressible), "text SEED SIZE"
# repeats a line (compressible). The endless producers end by SIGPIPE once head has enough.
random_bytes() { (set +o pipefail; openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null | head -c "$2"); }
text_bytes() { (set +o pipefail; yes "line of $1: the quick brown fox jumps over the lazy dog" | head -c "$2"); }

# note ENTRY FILE: remembers the entry (a path or path:stream) with the size and hash of FILE.
note() {
  order+=("$1")
  sizes[$1]=$(stat -c %s "$2")
  hashes[$1]=$(sha256sum <"$2" | cut -d' ' -f1)
  states[$1]=live
}

# put KIND SEED SIZE PATH: writes a file of fixed content.
put() {
  local kind=$1 seed=$2 bytes=$3 path=$4
  mkdir -p "$mnt/$(dirname "$path")"
  "${kind}_bytes" "$seed" "$bytes" >"$scratch/content"
  cp "$scratch/content" "$mnt/$path"
  note "$path" "$scratch/content"
}

# stream PATH NAME KIND SEED SIZE: adds a named stream to a file.
stream() {
  local path=$1 name=$2
  "${3}_bytes" "$4" "$5" >"$scratch/content"
  setfattr -n "user.$name" -v "0x$(od -An -v -tx1 "$scratch/content" | tr -d ' \n')" "$mnt/$path"
  note "$path:$name" "$scratch/content"
}

# short_name PATH NAME: gives a file its 8.3 twin (ntfs-3g writes only one name of its own).
short_name() { setfattr -n system.ntfs_dos_name -v "$2" "$mnt/$1"; }

put text readme 300 "readme.txt"
put text rootdel 450 "root-deleted.txt"
put text notes 650 "docs/notes.txt"
put random report 2000 "docs/report-final-version-2019.txt"
short_name "docs/report-final-version-2019.txt" "REPORT~1.TXT"
put random longdoc 5000 "docs/A Very Long Document Name.txt"
short_name "docs/A Very Long Document Name.txt" "AVERYL~1.TXT"
put text unicode 333 "docs/Ünïcödé ファイル.txt"
put random greek 20000 "docs/Ελληνικά δεδομένα.bin"
put random nested 40000 "docs/sub/deeper/nested-deleted.bin"
put random kept 1000 "docs/sub/deeper/kept.bin"
# A live folder with an 8.3 twin: its record is read to rebuild the path of the file in it.
put random summary 1200 "docs/Project Archive 2019/summary.txt"
short_name "docs/Project Archive 2019" "PROJEC~1"
put text streamed 100 "docs/streamed.txt"
stream "docs/streamed.txt" meta text meta 1500
put text withstream 500 "docs/deleted-with-stream.txt"
stream "docs/deleted-with-stream.txt" author random author 3000
put random photoa 30000 "photos/a.jpg"
put text photob 600 "photos/b.txt"
put random photoc 70000 "photos/2019/c.bin"
put text photod 200 "photos/2019/d.txt"
put random large 3145728 "big/large.bin"

# Fragmented files: appends to two files in turn leave their clusters interleaved.
mkdir -p "$mnt/frag"
: >"$scratch/one"
: >"$scratch/two"
for i in $(seq 1 12); do
  random_bytes "one$i" 65536 | tee -a "$scratch/one" >>"$mnt/frag/one.bin"
  random_bytes "two$i" 65536 | tee -a "$scratch/two" >>"$mnt/frag/two.bin"
done
note "frag/one.bin" "$scratch/one"
note "frag/two.bin" "$scratch/two"

# Files in a folder marked compressed (0x800) are stored LZNT1-compressed by ntfs-3g.
mkdir -p "$mnt/compressed"
setfattr -n system.ntfs_attrib_be -v 0x00000810 "$mnt/compressed"
put text ctext 204800 "compressed/text.txt"
put text cdeleted 153600 "compressed/deleted-text.txt"
{ random_bytes cmixed 65536; text_bytes cmixed 65536; } >"$scratch/mixed"
cp "$scratch/mixed" "$mnt/compressed/deleted-mixed.bin"
note "compressed/deleted-mixed.bin" "$scratch/mixed"

: >"$scratch/empty"
cp "$scratch/empty" "$mnt/empty-deleted.txt"
note "empty-deleted.txt" "$scratch/empty"
sync

# delete ENTRY...: removes files (their streams go with them) and marks them in the manifest.
delete() {
  local path entry
  for path in "$@"; do
    rm -r "${mnt:?}/$path"
    for entry in "${order[@]}"; do
      if [[ $entry == "$path" || $entry == "$path:"* || $entry == "$path/"* ]]; then states[$entry]=deleted; fi
    done
  done
}
delete "root-deleted.txt" "docs/notes.txt" "docs/Project Archive 2019/summary.txt" "docs/A Very Long Document Name.txt" "docs/Ünïcödé ファイル.txt" \
  "docs/Ελληνικά δεδομένα.bin" "docs/sub/deeper/nested-deleted.bin" "docs/deleted-with-stream.txt" \
  "photos" "big/large.bin" "frag/one.bin" "compressed/deleted-text.txt" "compressed/deleted-mixed.bin" \
  "empty-deleted.txt"

umount "$mnt"
wait "$ntfs_pid" || { cat "$scratch/ntfs-3g.log" >&2; exit 1; }
ntfs_pid=""

: >"$manifest"
for entry in "${order[@]}"; do
  printf '%s\t%s\t%s\t%s\n' "${states[$entry]}" "${sizes[$entry]}" "${hashes[$entry]}" "$entry" >>"$manifest"
done
