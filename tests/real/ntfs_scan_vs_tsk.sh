#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli scan on a volume made by mkntfs and filled through ntfs-3g: every deleted file is
# listed under its rebuilt path with the size The Sleuth Kit reads for it, nothing else is, and
# standard output holds only the JSON listing.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkntfs ntfs-3g setfattr openssl fls istat jq; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[[ -e /dev/fuse ]] || { echo "SKIPPED: no /dev/fuse for the ntfs-3g mount"; exit 0; }
source "$src/tests/real/lib/ntfs_listings.bash"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$src/scripts/make-ntfs-volume.sh" "$work/volume.img" "$work/manifest.tsv" 32

"$cli" scan --json "$work/volume.img" >"$work/scan.json" 2>"$work/scan.err"
jq -e '.kind == "Ntfs" and .completed == true' "$work/scan.json" >/dev/null
if [[ -s $work/scan.err ]]; then
  echo "unexpected diagnostics on a sound volume:" >&2
  cat "$work/scan.err" >&2
  exit 1
fi

restora_deleted_files "$work/scan.json" | sort >"$work/ours.txt"
tsk_deleted_files "$work/volume.img" | sort >"$work/tsk.txt"
if ! diff -u "$work/tsk.txt" "$work/ours.txt"; then
  echo "restora-cli and The Sleuth Kit list different deleted files (- fls, + ours)" >&2
  exit 1
fi

# The manifest says which files were written and deleted: each of size > 0 must be there (a file
# with streams is listed once, under its own path). Live files must not be.
missing=0
while IFS=$'\t' read -r state size _ path; do
  [[ $path == *:* ]] && continue
  if [[ $state == deleted && $size -gt 0 ]] && ! cut -f1 "$work/ours.txt" | grep -qxF "$path"; then
    echo "deleted file missing from the scan: $path" >&2
    missing=1
  fi
  if [[ $state == live ]] && cut -f1 "$work/ours.txt" | grep -qxF "$path"; then
    echo "live file listed as deleted: $path" >&2
    missing=1
  fi
done <"$work/manifest.tsv"
[[ $missing == 0 ]]
# Sizes of files without streams equal what was written.
while IFS=$'\t' read -r state size _ path; do
  [[ $state == deleted && $size -gt 0 && $path != *:* ]] || continue
  awk -F'\t' -v stream="$path:" 'index($4, stream) == 1 { found = 1 } END { exit !found }' "$work/manifest.tsv" && continue
  grep -qxF "$path"$'\t'"$size" "$work/ours.txt" || { echo "wrong size for $path" >&2; exit 1; }
done <"$work/manifest.tsv"

# A torn record (its second sector's update-sequence tail changed) is skipped with one line on
# standard error; standard output stays a parseable listing without it.
location=$(jq -r '.. | objects | select(.name? == "root-deleted.txt") | .location' "$work/scan.json")
cp "$work/volume.img" "$work/torn.img"
printf '\x5a' | dd of="$work/torn.img" bs=1 seek=$((location * 512 + 1022)) conv=notrunc status=none
"$cli" scan --json "$work/torn.img" >"$work/torn.json" 2>"$work/torn.err"
jq -e . "$work/torn.json" >/dev/null
[[ $(cat "$work/torn.err") == "ERROR,FileRecord's Integrity failed,VerifyRecord," ]] || {
  echo "expected one integrity line on standard error, got:" >&2
  cat "$work/torn.err" >&2
  exit 1
}
restora_deleted_files "$work/torn.json" | sort >"$work/torn.txt"
diff <(grep -v '^root-deleted.txt' "$work/ours.txt") "$work/torn.txt"

echo "ntfs_scan_vs_tsk: $(wc -l <"$work/ours.txt") deleted files agree"
