#!/usr/bin/env bash
# The main job on a built-in sample: a small FAT16 volume made with mkfs.fat and mtools, a few of
# whose files are deleted; restora-cli describes it, lists what can be recovered, recovers it into
# OUTPUT_FOLDER/recovered/# and checks every recovered file against the original.
set -euo pipefail
cli=${1:?usage: sample.sh PATH/TO/restora-cli OUTPUT_FOLDER}
out=${2:?usage: sample.sh PATH/TO/restora-cli OUTPUT_FOLDER}
mkdir -p "$out"
image="$out/sample-fat16.img"
rm -f "$image"
truncate -s 32M "$image"
mkfs.fat -F 16 -n SAMPLE "$image" >/dev/null
export MTOOLS_SKIP_CHECK=1
mmd -i "$image" ::/Documents ::/Documents/Letters ::/Photos
printf 'Dear reader,\nthis letter was deleted by mistake.\n' >"$out/letter.txt"
head -c 150000 /dev/zero | tr '\0' 'P' >"$out/holiday-photo.jpg"
seq 1 20000 >"$out/numbers.csv"
mcopy -i "$image" "$out/letter.txt" ::/Documents/Letters/letter-to-a-friend.txt
mcopy -i "$image" "$out/numbers.csv" ::/Documents/numbers.csv
mcopy -i "$image" "$out/holiday-photo.jpg" ::/Photos/holiday-photo.jpg
mcopy -i "$image" "$out/numbers.csv" ::/KEEP.CSV
mdel -i "$image" ::/Documents/Letters/letter-to-a-friend.txt ::/Photos/holiday-photo.jpg ::/Documents/numbers.csv
expected=$(cd "$out" && sha256sum letter.txt holiday-photo.jpg numbers.csv)
rm -f "$out/letter.txt" "$out/holiday-photo.jpg" "$out/numbers.csv"

echo "== restora-cli info $image"
"$cli" info "$image"
echo
echo "== restora-cli scan $image"
"$cli" scan "$image"
echo
rm -rf "$out/recovered"
mkdir -p "$out/recovered"
echo "== restora-cli recover $image --to $out/recovered"
"$cli" recover "$image" --to "$out/recovered"
echo
echo "== recovered files against the originals"
# numbers.csv had no long name, so it comes back under its 8.3 name with the deletion mark.
got=$(cd "$out/recovered/#" && sha256sum Documents/Letters/letter-to-a-friend.txt Photos/holiday-photo.jpg Documents/xumbers.csv |
      sed -e 's| Documents/Letters/letter-to-a-friend.txt| letter.txt|' -e 's| Photos/holiday-photo.jpg| holiday-photo.jpg|' \
          -e 's| Documents/xumbers.csv| numbers.csv|')
if [ "$got" = "$expected" ]; then
  echo "all 3 deleted files recovered byte for byte"
else
  echo "recovered files differ from the originals:"; diff <(echo "$expected") <(echo "$got") || true
  exit 1
fi
