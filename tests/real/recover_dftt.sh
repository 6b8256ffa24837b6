#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover on the DFTT undelete images, whose deleted files have published MD5s:
# on NTFS (#7) every deleted file comes back with its published MD5; on FAT16 (#6) the files in
# consecutive clusters do, while the three fragmented ones (their FAT chains cleared) come back
# as the consecutive clusters from their first one, which the DFTT page lists as the naive MD5s.
# The named stream mult1.dat:ADS is not an entry of its own: mult1.dat is saved with its data.
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
corpus=${RESTORA_CORPUS_DIR:-$src/../shared/corpus/real}
for image in dftt-fat16-6-undel.img dftt-ntfs-7-undel.img; do
  [[ -r $corpus/$image ]] || { echo "SKIPPED: $corpus/$image is missing"; exit 0; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# check IMAGE NAME:MD5...: saves every entry of IMAGE and compares each named file's MD5. A name
# may be saved in several places (a System Restore copy); each copy must match. A deleted 8.3 name
# has lost its first character, so names are compared without it, in lower case.
status=0
check() {
  local image=$1 out="$work/$1" name md5 found base
  shift
  mkdir "$out"
  "$cli" recover "$corpus/$image" --to "$out" >"$out.log"
  echo "== $image"
  for spec in "$@"; do
    name=${spec%%:*}
    md5=${spec##*:}
    found=0
    while IFS= read -r -d '' file; do
      base=$(basename "$file")
      base=${base,,}
      [[ ${base:1} == "${name:1}" ]] || continue
      found=$((found + 1))
      if [[ $(md5sum <"$file" | cut -d' ' -f1) == "$md5" ]]; then
        echo "ok ${file#"$out/"} $md5"
      else
        echo "MISMATCH ${file#"$out/"}: $(md5sum <"$file" | cut -d' ' -f1), expected $md5" >&2
        status=1
      fi
    done < <(find "$out/#" -type f -print0)
    if ((found == 0)); then
      echo "MISSING $name" >&2
      status=1
    fi
  done
}

check dftt-ntfs-7-undel.img res1.dat:9036637712b491904cd0bfbdbe648453 sing1.dat:59b20779f69ff9f0ac5fcd2c38835a79 \
  mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef frag1.dat:7a3bc5b763bef201202108f4ba128149 \
  frag2.dat:0e80ab84ef0087e60dfc67b88a1cf13e mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb \
  frag3.dat:21121699487f3fbbdb9a4b3391b6d3e0 sing2.dat:c229626f6a71b167ad7e50c4f2fccdb1
check dftt-fat16-6-undel.img sing.dat:59b20779f69ff9f0ac5fcd2c38835a79 mult1.dat:ffd27bd782bdce67750b6b9ee069d2ef \
  mult2.dat:59cf0e9cd107bc1e75afb7374f6e05bb \
  frag1.dat:c4f3b9a0f17d464f4fc61b94ecf6cc21 frag2.dat:965370acfa85aa7e26ab04bbd45cdcae \
  frag3.dat:a7a14ac62f79fdea4056ed5e8bcf97ef
exit $status
