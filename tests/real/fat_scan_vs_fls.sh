#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fast scan of FAT16 and FAT32 volumes made by mkfs.fat and filled by mtools, checked against
# what was written (the manifest) and against The Sleuth Kit's fls on the same image.
# usage: fat_scan_vs_fls.sh PATH/TO/restora-cli
set -euo pipefail
cli=$1
source_dir=${RESTORA_SOURCE_DIR:?}

for tool in mkfs.fat mcopy fls python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for width in 16 32; do
  image=$work/fat$width.img
  bash "$source_dir/scripts/make-fat-volume.sh" "$width" "$image" "$work/manifest$width.tsv"
  "$cli" scan "$image" --json >"$work/scan$width.json"
  fls -r -p -l "$image" >"$work/fls-all$width.txt"
  fls -r -d -p -l "$image" >"$work/fls-deleted$width.txt"
  python3 "$source_dir/tests/real/fat_fls_compare.py" --scan "$work/scan$width.json" \
    --fls-all "$work/fls-all$width.txt" --fls-deleted "$work/fls-deleted$width.txt" \
    --manifest "$work/manifest$width.tsv" --image "$image" --straddle "Big folder"

  # --list (the default) prints the same tree: one line per node, status word, size, path.
  "$cli" scan "$image" >"$work/list$width.txt"
  python3 - "$work/scan$width.json" "$work/list$width.txt" <<'PY'
import json, sys
words = {0: "deleted-file", 1: "file", 2: "deleted-folder", 3: "folder"}
lines = []
def walk(node, prefix):
    for child in node["children"]:
        path = prefix + child["name"]
        share = "" if child["overwritten"] is None else f"{child['overwritten']}% "
        lines.append(f"{words[child['status']]} {child['size']} {share}{path}")
        walk(child, path + "/")
walk(json.load(open(sys.argv[1], encoding="utf-8"))["root"], "")
listed = open(sys.argv[2], encoding="utf-8").read().splitlines()
if listed != lines:
    sys.exit(f"--list differs from --json:\n" + "\n".join(set(listed) ^ set(lines)))
PY
  grep -q $'^deleted-file 70000 0% Documents/Deep/Deeper/Deepest/old photo.jpg$' "$work/list$width.txt"
  grep -q $'^deleted-folder 0 Old Projects$' "$work/list$width.txt"
  ! grep -q 'Music\|Empty Dir\|README' "$work/list$width.txt"
done
echo "fat_scan_vs_fls: FAT16 and FAT32 agree with fls and the manifests"
