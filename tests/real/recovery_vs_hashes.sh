#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover, byte for byte (lib/check.py recovered): the deleted files of every volume of
# the fixture against the SHA-256 of what was written, each into a folder that recover makes, with the entry's modification time (or the time of the save with
# --no-times); the orphans of folders deleted in steps by the deep scan; the compressed NTFS file
# with an attribute list; the DFTT undelete images against their published MD5s.
source "$(dirname "$0")/lib/common.bash"
need python3
need_volumes
need_corpus
mtime=$(cat "$volumes/mtime")
while IFS=';' read -r volume manifest check recover; do
  read -ra check <<<"$check"
  read -ra recover <<<"$recover"
  "$cli" recover "$volumes/$volume.img" --to "$work/$volume" "${recover[@]}" >/dev/null
  python3 "$src/tests/real/lib/check.py" recovered "$volumes/$volume.img" "$volumes/$manifest" "$work/$volume/#" \
    "${check[@]}" || fail "$volume: recovered files differ"
done <<EOF
fat16;fat16.tsv;;
fat32;fat32.tsv;;
ntfs;ntfs.tsv;;
$(printf '%s;written.tsv;--mtime '"$mtime"';\n' $layouts)
orphans16;orphans.tsv;--mtime $mtime --anywhere;--deep
orphans32;orphans.tsv;--mtime $mtime --anywhere;--deep
listed;listed.tsv;--anywhere;--only packed/many*
EOF
"$cli" recover "$volumes/fat16-r512.img" --to "$work/now" --no-times >/dev/null
[[ $(stat -c %Y "$work/now/#/xotes.txt") -gt $mtime ]] || fail "--no-times kept the entry's time"

# check_md5 IMAGE NAME:MD5...: every saved copy of each name (without its first letter, which a
# deleted 8.3 name loses) has the published MD5. On FAT16 the fragmented files, whose chains are
# cleared, come back as the consecutive clusters from their first one (the page's naive MD5s).
check_md5() {
  local image=$1 spec sums
  shift
  "$cli" recover "$corpus/$image" --to "$work/$image" >/dev/null
  sums=$(find "$work/$image/#" -type f -exec md5sum {} + | sed -E 's|^([0-9a-f]+)  .*/.(.*)$|\2:\1|' | tr 'A-Z' 'a-z')
  for spec in "$@"; do
    spec=${spec:1}
    [[ $(grep -c "^${spec%%:*}:" <<<"$sums") == "$(grep -cxF "$spec" <<<"$sums")" ]] && grep -qxF "$spec" <<<"$sums" ||
      fail "$image: not every ${spec%%:*} saved has the published MD5"
  done
}
check_md5 dftt-ntfs-7-undel.img res1.dat:9036637712b491904cd0bfbdbe648453 sing1.dat:59b20779f69ff9f0ac5fcd2c38835a79 \
  mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef frag1.dat:7a3bc5b763bef201202108f4ba128149 \
  frag2.dat:0e80ab84ef0087e60dfc67b88a1cf13e mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb \
  frag3.dat:21121699487f3fbbdb9a4b3391b6d3e0 sing2.dat:c229626f6a71b167ad7e50c4f2fccdb1
check_md5 dftt-fat16-6-undel.img sing.dat:59b20779f69ff9f0ac5fcd2c38835a79 mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef \
  mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb frag1.dat:c4f3b9a0f17d464f4fc61b94ecf6cc21 \
  frag2.dat:965370acfa85aa7e26ab04bbd45cdcae frag3.dat:a7a14ac62f79fdea4056ed5e8bcf97ef
echo "recovery_vs_hashes: every recovered file is byte-exact"
