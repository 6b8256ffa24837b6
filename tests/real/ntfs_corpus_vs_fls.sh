#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli scan on the public NTFS sample images against their saved `fls -r -d -p` listings
# (sizes from istat). The differences that are ours by design are removed in
# lib/ntfs_listings.bash; in these images they are:
# - dfirntfs-ntfs-index-slack: both deleted names live only in folder-index slack ("r/- * 0:").
# - colinfinck-ntfs-testfs1: the eight "OrphanFile-16..23" are mkntfs's unnamed reserved records.
# - dftt-ntfs-7-undel: sing2.dat's folder record was reused, so it is an orphan: "$OrphanFiles"
#   there, a placeholder "#<record>" here; mult1.dat has a named stream, so its size is that of
#   the stream, the last data attribute of its record.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
corpus=${RESTORA_CORPUS_DIR:-$src/../shared/corpus/real}
for tool in istat jq; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[[ -d $corpus ]] || { echo "SKIPPED: no sample images at $corpus"; exit 0; }
source "$src/tests/real/lib/ntfs_listings.bash"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
images=(dftt-ntfs-7-undel dftt-ntfs-8-jpeg-search dfirntfs-ntfs-index-slack colinfinck-ntfs-testfs1
        velociraptor-ntfs-compressed velociraptor-ntfs-vhdx-part)
checked=0
failed=0
for name in "${images[@]}"; do
  image=$corpus/$name.img
  [[ -f $image && -f $image.fls-deleted.txt ]] || { echo "missing sample $name" >&2; failed=1; continue; }
  "$cli" scan --json "$image" >"$work/$name.json" 2>"$work/$name.err" || { echo "$name: scan failed" >&2; failed=1; continue; }
  restora_deleted_files "$work/$name.json" | sort >"$work/$name.ours"
  tsk_deleted_files "$image" "$image.fls-deleted.txt" | sort >"$work/$name.tsk"
  if ! diff -u "$work/$name.tsk" "$work/$name.ours"; then
    echo "$name: listings differ (- fls, + ours)" >&2
    failed=1
  fi
  checked=$((checked + $(wc -l <"$work/$name.ours")))
done
# The two DFTT samples hold 8 and 2 deleted files; an empty comparison would prove nothing.
[[ $checked -ge 10 ]] || { echo "only $checked deleted files compared" >&2; failed=1; }
[[ $failed == 0 ]]
echo "ntfs_corpus_vs_fls: $checked deleted files agree over ${#images[@]} images"
