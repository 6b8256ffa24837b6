# SPDX-License-Identifier: GPL-3.0-or-later
# Deleted-file listings of an NTFS image as "path<TAB>size" lines, from The Sleuth Kit and from
# restora-cli, brought to one form so that the two can be compared line by line. Sourced by the
# ntfs_*.sh tests.

# tsk_deleted_files IMAGE [FLS_LISTING]: deleted files with a size, as The Sleuth Kit sees them.
# FLS_LISTING is a saved `fls -r -d -p IMAGE`; without it fls runs. Differences that are ours by
# design are removed here:
# - "r/- * 0:" names come only from folder-index slack; no file record backs them, and a scan of
#   the table cannot see them.
# - "$OrphanFiles/OrphanFile-N" are records without any name (mkntfs leaves records 16..23 so);
#   nameless records are not listed by our scan.
# - A named stream ("path:stream") is not an entry of its own: the file is listed once, with the
#   size of the last data attribute in its record, which istat shows in record order.
# - Folders are not compared (ours appear only as the path of some deleted file).
tsk_deleted_files() {
  local image=$1 listing
  if [[ $# -ge 2 ]]; then listing=$(cat "$2"); else listing=$(fls -r -d -p "$image"); fi
  local type star address path record size
  local -A seen=()
  while IFS=$'\t' read -r head path; do
    read -r type star address <<<"$head"
    [[ $star == "*" ]] || continue
    [[ $type == */r ]] || continue
    [[ $address == 0: ]] && continue
    [[ $path == '$OrphanFiles/OrphanFile-'* ]] && continue
    record=${address%%-*}
    record=${record%:}
    [[ -n ${seen[$record]:-} ]] && continue
    seen[$record]=1
    path=${path%%:*}
    size=$(istat "$image" "$record" | awk '/^Type: \$DATA/ { for (i = 1; i <= NF; ++i) if ($i == "size:") s = $(i + 1) } END { print s + 0 }')
    [[ $size -gt 0 ]] && printf '%s\t%s\n' "$path" "$size"
  done <<<"$listing"
}

# restora_deleted_files SCAN.json: the deleted files of a `restora-cli scan --json` listing. A
# placeholder folder "#N" stands where The Sleuth Kit says "$OrphanFiles".
restora_deleted_files() {
  jq -r 'def files($prefix): .children[] | ($prefix + .name) as $path
           | ((select(.status == 0) | "\($path)\t\(.size)"), files($path + "/"));
         .root | files("")' "$1" | sed 's|^#[0-9]*/|$OrphanFiles/|'
}
