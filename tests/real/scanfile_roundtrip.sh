#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A scan saved with --save-scan and printed again with show gives the scan's own listing, on
# filled and partly deleted FAT16, FAT32 and NTFS volumes and on the public sample volumes; cut and damaged scan files are shown
# without a crash, and a file that is no scan file is refused.
set -euo pipefail
cli=$(realpath "$1")
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkfs.fat mcopy mdel mdeltree python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# scan --json with the given options, saved and shown again.
roundtrip() {
  # The overwritten share needs the volume; a saved scan does not know it.
  "$cli" scan "$@" --json --save-scan saved.qxs | sed 's/"overwritten":[0-9]*,/"overwritten":null,/g' >scan.json
  "$cli" show saved.qxs --json >show.json
  cmp scan.json show.json || { echo "FAIL: $*: show --json differs from scan --json"; exit 1; }
}
# The same for --list.
roundtrip_list() {
  "$cli" scan "$@" --list --save-scan saved.qxs | sed -E 's/^(deleted-file [0-9]+) [0-9]+% /\1 /' >scan.txt
  "$cli" show saved.qxs --list >show.txt
  cmp scan.txt show.txt || { echo "FAIL: $*: show --list differs from scan --list"; exit 1; }
}

for width in 16 32; do
  bash "$src/scripts/make-fat-volume.sh" "$width" "fat$width.img" "fat$width.tsv"
  roundtrip_list "fat$width.img"
  grep -q '^deleted-file' scan.txt || { echo "FAIL: no deleted files on fat$width.img"; exit 1; }
  roundtrip "fat$width.img"
done
roundtrip fat32.img --lost --all-types
if command -v ntfs-3g >/dev/null && command -v setfattr >/dev/null && command -v openssl >/dev/null && [ -e /dev/fuse ]; then
  bash "$src/scripts/make-ntfs-volume.sh" ntfs.img manifest.tsv 32
  roundtrip ntfs.img
  roundtrip_list ntfs.img
else
  echo "note: no ntfs-3g mount here; NTFS is covered by the sample volumes only"
fi
corpus=$src/../shared/corpus/real
for name in dftt-fat16-6-undel dftt-ntfs-7-undel fatcat-fat32-deleted dfirntfs-fat16-deleted-dir; do
  [ -f "$corpus/$name.img" ] && roundtrip "$corpus/$name.img"
done
if [ -f "$corpus/dftt-ntfs-8-jpeg-search.img" ]; then
  roundtrip "$corpus/dftt-ntfs-8-jpeg-search.img" --advanced --types jpg
  roundtrip "$corpus/dftt-ntfs-8-jpeg-search.img" --lost --types jpg
fi

# The last saved file cut at spread positions, and with random bytes after its header.
size=$(stat -c %s saved.qxs)
for cut in 8 9 80 150 $((size / 3)) $((size / 2)) $((size - 63)) $((size - 1)); do
  head -c "$cut" saved.qxs >cut.qxs
  "$cli" show cut.qxs --json | python3 -m json.tool >/dev/null || { echo "FAIL: cut at $cut"; exit 1; }
done
for round in 1 2 3 4 5; do
  { head -c 8 saved.qxs; head -c $((round * 3000)) /dev/urandom; } >random.qxs
  "$cli" show random.qxs --json | python3 -m json.tool >/dev/null || { echo "FAIL: random bytes, round $round"; exit 1; }
done

# A scan file is never written over the source it was scanned from.
before=$(md5sum <fat16.img)
if "$cli" scan fat16.img --save-scan ./fat16.img >/dev/null 2>err.txt; then echo "FAIL: saved a scan over its source"; exit 1; fi
grep -q "is the source itself" err.txt || { echo "FAIL: unclear refusal: $(cat err.txt)"; exit 1; }
[ "$(md5sum <fat16.img)" = "$before" ] || { echo "FAIL: the source changed"; exit 1; }

printf 'DAZ-\xaa\x55\0\0' >wrong.qxs
if "$cli" show wrong.qxs 2>err.txt; then echo "FAIL: a file without the signature was shown"; exit 1; fi
grep -q "not a scan information file" err.txt || { echo "FAIL: message: $(cat err.txt)"; exit 1; }
echo "PASS"
