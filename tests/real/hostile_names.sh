#!/usr/bin/env bash
# Recovering files whose names are hostile to the destination: an NTFS volume (mkntfs, filled
# through an ntfs-3g mount) holds deleted files named " ." and "#", with "\" and ":", of 255
# characters, names that differ only in case and names that become one once made safe.
# restora-cli recover saves them into a folder on /tmp and into an NTFS volume mounted by
# lowntfs-3g with ignore_case, where names that differ only in case are one name, as on the disks
# of Windows. Every file must arrive once, byte for byte (no entry replaces a file of the same
# save), and nothing may appear outside DEST/#.
set -euo pipefail
cli=${1:?usage: hostile_names.sh PATH/TO/restora-cli}
for tool in mkntfs ntfs-3g mountpoint sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
[ -e /dev/fuse ] || { echo "SKIPPED: no /dev/fuse for the ntfs-3g mount"; exit 0; }
usage=$("$cli" recover 2>&1 || true)
[[ $usage == *"--to DIR"* ]] || { echo "SKIPPED: this restora-cli has no recover"; exit 0; }

work=$(mktemp -d)
mnt=$work/mnt
fatmnt=$work/nocase
mkdir -p "$mnt" "$fatmnt"
ntfs_pid=""
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || umount -l "$mnt"; fi
  if mountpoint -q "$fatmnt"; then umount "$fatmnt" || umount -l "$fatmnt"; fi
  if [[ -n $ntfs_pid ]]; then wait "$ntfs_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

truncate -s 16M "$work/ntfs.img"
mkntfs -F -f -q "$work/ntfs.img" >/dev/null 2>&1
ntfs-3g -o no_detach "$work/ntfs.img" "$mnt" >"$work/ntfs-3g.log" 2>&1 &
ntfs_pid=$!
for _ in $(seq 100); do mountpoint -q "$mnt" && break; sleep 0.1; done
mountpoint -q "$mnt" || { cat "$work/ntfs-3g.log" >&2; exit 1; }

long=$(printf 'L%.0s' $(seq 251)).txt  # 255 characters, the longest NTFS name
names=("Case.txt" "case.txt" "CASE.TXT" " ." "back\\slash" "a:b" "a_b" "#" "$long" "sub/Case.txt"
       "sub/case.txt" "SUB2/x" "sub2/x")
declare -A expected=()
i=0
for name in "${names[@]}"; do
  mkdir -p "$mnt/$(dirname "$name")"
  { printf 'content %d of %s\n' "$i" "$name"; head -c $((i * 900)) /dev/zero | tr '\0' 'x'; } >"$mnt/$name"
  expected[$(sha256sum <"$mnt/$name" | cut -d' ' -f1)]=$name
  i=$((i + 1))
done
rm -rf "${mnt:?}"/*
umount "$mnt"
wait "$ntfs_pid" || true
ntfs_pid=""

failures=0
# check_save DEST: every expected file is in DEST/# exactly once by content, and DEST holds
# nothing but "#".
check_save() {
  local dest=$1 label=$2
  local outside
  outside=$(cd "$dest" && ls -A | grep -v '^#$' || true)
  if [ -n "$outside" ]; then
    echo "FAIL ($label): outside #: $outside"
    failures=$((failures + 1))
  fi
  declare -A seen=()
  while IFS= read -r -d '' file; do
    local hash
    hash=$(sha256sum <"$file" | cut -d' ' -f1)
    [ -n "${expected[$hash]+x}" ] && seen[$hash]=$(( ${seen[$hash]:-0} + 1 ))
  done < <(find "$dest/#" -type f -print0)
  for hash in "${!expected[@]}"; do
    if [ "${seen[$hash]:-0}" -ne 1 ]; then
      echo "FAIL ($label): \"${expected[$hash]}\" saved ${seen[$hash]:-0} times"
      failures=$((failures + 1))
    fi
  done
}

# A destination in a folder of its own, so that an escape would show in the parent.
mkdir -p "$work/parent/dest"
"$cli" recover "$work/ntfs.img" --to "$work/parent/dest" >"$work/recover.txt" 2>&1 || { cat "$work/recover.txt"; }
check_save "$work/parent/dest" "plain folder"
[ "$(ls -A "$work/parent")" = "dest" ] || { echo "FAIL: the parent holds $(ls -A "$work/parent")"; failures=$((failures + 1)); }

# A destination whose names ignore case.
if command -v lowntfs-3g >/dev/null; then
  truncate -s 32M "$work/dest.img"
  mkntfs -F -f -q "$work/dest.img" >/dev/null 2>&1
  lowntfs-3g -o no_detach,ignore_case "$work/dest.img" "$fatmnt" >"$work/lowntfs-3g.log" 2>&1 &
  ntfs_pid=$!
  for _ in $(seq 100); do mountpoint -q "$fatmnt" && break; sleep 0.1; done
  mountpoint -q "$fatmnt" || { cat "$work/lowntfs-3g.log" >&2; exit 1; }
  "$cli" recover "$work/ntfs.img" --to "$fatmnt" >"$work/recover-nocase.txt" 2>&1 || { cat "$work/recover-nocase.txt"; }
  # The volume's own folders stay out of the check.
  check_save "$fatmnt" "destination that ignores case"
  umount "$fatmnt"
  wait "$ntfs_pid" || true
  ntfs_pid=""
else
  echo "note: no lowntfs-3g here; the destination that ignores case is left out"
fi
echo "${#names[@]} hostile names, $failures failures"
[ "$failures" -eq 0 ]
