#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover as a command: --only patterns, exit codes (0 all written, 1 unusable
# source or destination, 2 some entries failed), refusal of a destination on the device being
# recovered from (a loop "disk" and a "partition" of it), and saving from a saved scan file,
# which must come from the same kind of source and the same volume.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkfs.fat mkfs.ext2 mcopy mmd mdel python3 sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done

work=$(mktemp -d)
loops=()
mounts=()
cleanup() {
  local item
  for item in "${mounts[@]}"; do mountpoint -q "$item" && umount "$item"; done
  for item in "${loops[@]}"; do losetup -d "$item"; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# expect CODE COMMAND...: runs a command that must exit with CODE; its output goes to $work/last.*
expect() {
  local code=$1 got=0
  shift
  "$@" >"$work/last.out" 2>"$work/last.err" || got=$?
  [[ $got == "$code" ]] || { cat "$work/last.out" "$work/last.err" >&2; fail "exit $got instead of $code: $*"; }
}

bash "$src/scripts/make-fat-volume.sh" 16 "$work/fat16.img" "$work/fat16.tsv"

# --only: the matching files and the folders that lead to them, nothing else.
mkdir "$work/only"
expect 0 "$cli" recover "$work/fat16.img" --to "$work/only" --only '*/Deepest/*' --only 'Old Projects/sub dir'
(cd "$work/only" && find . | LC_ALL=C sort) >"$work/only.txt"
cat >"$work/only.expected" <<'LIST'
.
./#
./#/Documents
./#/Documents/Deep
./#/Documents/Deep/Deeper
./#/Documents/Deep/Deeper/Deepest
./#/Documents/Deep/Deeper/Deepest/old photo.jpg
./#/Documents/Deep/Deeper/Deepest/日本語のファイル名.txt
./#/Old Projects
./#/Old Projects/sub dir
./#/Old Projects/sub dir/xata.csv
LIST
diff -u "$work/only.expected" "$work/only.txt" || fail "--only saved other entries"
for path in "Documents/Deep/Deeper/Deepest/old photo.jpg" "Old Projects/sub dir/data.csv"; do
  want=$(awk -F'\t' -v p="$path" '$4 == p {print $3}' "$work/fat16.tsv")
  got=$(sha256sum <"$work/only/#/${path/data.csv/xata.csv}" | cut -d' ' -f1)
  [[ $want == "$got" ]] || fail "$path differs from what was written"
done

# A pattern that matches nothing: an empty "#", and success.
mkdir "$work/none"
expect 0 "$cli" recover "$work/fat16.img" --to "$work/none" --only 'no such file'
[[ -d $work/none/# && -z $(ls -A "$work/none/#") ]] || fail "nothing checked must leave an empty #"
grep -q "no entry to save matches" "$work/last.err" || fail "no word about the pattern that matched nothing"

# A missing destination is made when its parent exists. Destinations that cannot be used: one
# whose parent is missing, a file, or a "#" that is not a folder.
expect 0 "$cli" recover "$work/fat16.img" --to "$work/made" --only 'no such file'
[[ -d $work/made/# ]] || fail "the missing destination was not made"
expect 1 "$cli" recover "$work/fat16.img" --to "$work/missing/deeper"
expect 1 "$cli" recover "$work/fat16.img" --to "$work/fat16.tsv"
mkdir "$work/blocked"
echo "not a folder" >"$work/blocked/#"
expect 1 "$cli" recover "$work/fat16.img" --to "$work/blocked"
grep -q "cannot create or enter the folder #" "$work/last.err" || fail "no clear report for an unusable #"
[[ $(ls -A "$work/blocked") == "#" ]] || fail "something was written beside the blocked #"
expect 1 "$cli" recover "$work/no-such.img" --to "$work/none"

# Saving from a scan file: the same files as a direct save; another kind or volume is refused.
if "$cli" scan "$work/fat16.img" --save-scan "$work/fat16.qxs" >/dev/null 2>&1 && [[ -s $work/fat16.qxs ]]; then
  mkdir "$work/direct" "$work/saved"
  expect 0 "$cli" recover "$work/fat16.img" --to "$work/direct"
  expect 0 "$cli" recover --scan "$work/fat16.qxs" --source "$work/fat16.img" --to "$work/saved"
  diff -r "$work/direct" "$work/saved" >/dev/null || fail "saving from the scan file gave other files"
  bash "$src/scripts/make-fat-volume.sh" 32 "$work/fat32.img" "$work/fat32.tsv"
  expect 1 "$cli" recover --scan "$work/fat16.qxs" --source "$work/fat32.img" --to "$work/saved"
  grep -q "made from a FAT16 source, but .* is a FAT32 source" "$work/last.err" || fail "no clear word on the kind"
  bash "$src/scripts/make-fat-volume.sh" 16 "$work/other16.img" "$work/other16.tsv" 20
  expect 1 "$cli" recover --scan "$work/fat16.qxs" --source "$work/other16.img" --to "$work/saved"
  grep -q "describes another volume" "$work/last.err" || fail "no clear word on another volume"
else
  echo "note: this build cannot save scan files; the scan-file checks were left out"
fi

if [[ $(id -u) != 0 ]] || ! command -v losetup >/dev/null; then
  echo "note: not root; the device and full-disk checks were left out"
  exit 0
fi

# A full destination: the entries that do not fit fail, the save goes on, exit 2.
mkdir "$work/tiny"
mount -t tmpfs -o size=64k tmpfs "$work/tiny"
mounts+=("$work/tiny")
expect 2 "$cli" recover "$work/fat16.img" --to "$work/tiny"
grep -q "^incomplete \|^failed " "$work/last.out" || fail "no failed entries reported on a full destination"
grep -q "^written " "$work/last.out" || fail "nothing was written before the destination filled up"

# A "disk" and a "partition" of it as two loop devices over one image file, and a volume of its
# own: saving onto the partition's file system while recovering from the disk or from the
# partition itself is refused before anything is written; recovering another volume is fine.
truncate -s 48M "$work/disk.img"
attach() {  # attach NAME LOSETUP_ARGS...: sets NAME to the new loop device
  local name=$1 device
  shift
  device=$(losetup --find --show "$@")
  loops+=("$device")
  printf -v "$name" '%s' "$device"
}
attach disk --read-only "$work/disk.img"
attach part --offset $((1024 * 1024)) --sizelimit $((40 * 1024 * 1024)) "$work/disk.img"
attach other --read-only "$work/fat16.img"
mkfs.ext2 -q -F "$part" >/dev/null
mkdir "$work/part"
mount "$part" "$work/part"
mounts+=("$work/part")
expect 1 "$cli" recover "$disk" --advanced --types png --to "$work/part"
grep -q "on the device being recovered from" "$work/last.err" || fail "the whole disk was not refused"
expect 1 "$cli" recover "$part" --to "$work/part"
grep -q "on the device being recovered from" "$work/last.err" || fail "the partition itself was not refused"
[[ $(ls -A "$work/part") == lost+found ]] || fail "something was written before the refusal"
expect 0 "$cli" recover "$other" --to "$work/part" --only 'Documents/*'
cmp "$work/part/#/Documents/Deep/Deeper/Deepest/old photo.jpg" \
  "$work/only/#/Documents/Deep/Deeper/Deepest/old photo.jpg" || fail "the save onto the other volume differs"
echo "recover: patterns, exit codes and refusals as expected"
