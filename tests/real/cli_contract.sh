#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli as a command: exit codes (0 done, 1 unusable source or destination, 2 some entries
# failed, 130 Ctrl+C) and one clear line for each refusal; the progress line on a terminal only;
# --only and --types; show prints what scan printed; a destination on the device being recovered
# from (the disk or a partition of it) is refused; the README's sample job runs through.
source "$(dirname "$0")/lib/common.bash"
need python3 mkfs.fat mkfs.ext2 mcopy script losetup
need_volumes
need_corpus
need_root
fat16=$volumes/fat16.img

refused() {  # refused "MESSAGE PART" ARGS...: exit 1, one line naming the fault, no listing
  local message=$1
  shift
  expect 1 "$cli" "$@"
  grep -q -- "$message" "$work/last.err" || fail "$*: $(cat "$work/last.err")"
  [[ $1 != scan || ! -s $work/last.out ]] || fail "$*: a refused scan printed a listing"
}
truncate -s 1M "$work/zeros.img"
refused "cannot open" scan "$work/missing.img"
refused "is a directory" scan "$work"
refused "not a FAT16, FAT32 or NTFS volume" scan "$work/zeros.img"
refused "usage" scan
refused "unknown option --bogus" scan "$fat16" --bogus
refused "unknown file type 'nosuch'" scan "$work/zeros.img" --advanced --types jpg,nosuch
refused "exclude each other" scan "$work/zeros.img" --advanced --types jpg --all-types
refused "whole number of KB" scan "$work/zeros.img" --advanced --max-size-kb 12abc
cp "$work/zeros.img" "$work/zeros.qxi"
refused "Failed to open image file or image file is not valid" scan "$work/zeros.qxi"
cp "$fat16" "$work/fat16.img"
refused "is the source itself" scan "$work/fat16.img" --save-scan "$work/fat16.img"
cmp -s "$fat16" "$work/fat16.img" || fail "a scan file was written over its source"
printf 'DAZ-\xaa\x55\0\0' >"$work/wrong.qxs"
refused "not a scan information file" show "$work/wrong.qxs"

# show prints exactly what scan printed, in both forms, for every kind of scan, but for the
# overwritten share, which a scan file does not keep.
without_share() { sed -E 's/"overwritten":[^,]*,//g; s/^([a-z-]+ [0-9]+) [0-9]+% /\1 /'; }
for args in "$fat16" "$volumes/fat32.img --lost --all-types" "$volumes/ntfs.img" \
            "$corpus/dftt-ntfs-8-jpeg-search.img --advanced --types jpg" "$corpus/dftt-fat16-6-undel.img"; do
  read -ra a <<<"$args"
  for form in --json --list; do
    "$cli" scan "${a[@]}" "$form" --save-scan "$work/saved.qxs" | without_share >"$work/scan.out"
    "$cli" show "$work/saved.qxs" "$form" | without_share | cmp -s - "$work/scan.out" || fail "show $form differs from scan $form: $args"
  done
done
size=$(stat -c %s "$work/saved.qxs")
for cut in 8 9 80 150 $((size / 2)) $((size - 1)); do
  head -c "$cut" "$work/saved.qxs" >"$work/cut.qxs"
  "$cli" show "$work/cut.qxs" --json | python3 -m json.tool >/dev/null || fail "a scan file cut at $cut"
done

# The progress line goes to a terminal only; Ctrl+C ends a long scan with 130 and the tree so far.
python3 "$src/bench/fat_make_big_folder.py" "$work/small.img" 2000
"$cli" scan "$work/small.img" >/dev/null 2>"$work/err"
[[ ! -s $work/err ]] || fail "progress written to a file"
script -qec "\"$cli\" scan \"$work/small.img\" >/dev/null" /dev/null >"$work/tty" </dev/null
grep -q "scanning 0 / 2000" "$work/tty" || fail "no progress line on a terminal"
python3 "$src/bench/fat_make_big_folder.py" "$work/big.img" 400000
start=$(date +%s%N)
"$cli" scan "$work/big.img" --json >/dev/null
"$cli" scan "$work/big.img" --json >"$work/stopped.json" &
scan=$!
sleep "$(( ($(date +%s%N) - start) / 5000000 ))e-3"
kill -INT "$scan"
code=0
wait "$scan" || code=$?
[[ $code == 130 ]] || fail "an interrupted scan exited $code"
python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["completed"] is False' "$work/stopped.json"

# recover: --only, a pattern that matches nothing, destinations that cannot be used.
expect 0 "$cli" recover "$fat16" --to "$work" --only '*/Deepest/*' --only 'Old Projects/sub dir'
mv "$work/#" "$work/only"
[[ $(cd "$work/only" && find . -type f | LC_ALL=C sort | tr '\n' ';') == \
   "./Documents/Deep/Deeper/Deepest/old photo.jpg;./Documents/Deep/Deeper/Deepest/日本語のファイル名.txt;./Old Projects/sub dir/xata.csv;" ]] ||
  fail "--only saved other entries: $(cd "$work/only" && find . -type f)"
mkdir "$work/none" "$work/blocked"
expect 0 "$cli" recover "$fat16" --to "$work/none" --only 'no such file'
[[ -z $(ls -A "$work/none/#") ]] && grep -q "no entry to save matches" "$work/last.err" || fail "a pattern matching nothing"
expect 0 "$cli" recover "$fat16" --to "$work/made" --only "*/Deepest/*"  # a missing folder is made
[[ -d "$work/made/#" ]] || fail "recover did not make its destination folder"
refused "" recover "$fat16" --to "$work/missing/below"  # its parent must exist
refused "" recover "$fat16" --to "$volumes/fat16.tsv"
refused "" recover "$work/no-such.img" --to "$work/none"
echo "not a folder" >"$work/blocked/#"
refused "cannot create or enter the folder #" recover "$fat16" --to "$work/blocked"
[[ $(ls -A "$work/blocked") == "#" ]] || fail "something was written beside the blocked #"
"$cli" scan "$fat16" --save-scan "$work/fat16.qxs" >/dev/null
mkdir "$work/direct" "$work/saved"
expect 0 "$cli" recover "$fat16" --to "$work/direct"
expect 0 "$cli" recover --scan "$work/fat16.qxs" --source "$fat16" --to "$work/saved"
diff -r "$work/direct" "$work/saved" >/dev/null || fail "saving from the scan file gave other files"
refused "made from a FAT16 source, but .* is a FAT32 source" recover --scan "$work/fat16.qxs" --source "$volumes/fat32.img" --to "$work/saved"
refused "describes another volume" recover --scan "$work/fat16.qxs" --source "$corpus/dftt-fat16-6-undel.img" --to "$work/saved"

# A full destination: exit 2 after what fitted; the disk or a partition of it as destination: refused.
mkdir "$work/tiny" "$work/part"
mount -t tmpfs -o size=64k tmpfs "$work/tiny"
mounts+=("$work/tiny")
expect 2 "$cli" recover "$fat16" --to "$work/tiny"
grep -q "^written " "$work/last.out" && grep -q "^incomplete \|^failed " "$work/last.out" || fail "a full destination"
truncate -s 48M "$work/disk.img"
attach disk --read-only "$work/disk.img"
attach part --offset $((1024 * 1024)) --sizelimit $((40 * 1024 * 1024)) "$work/disk.img"
mkfs.ext2 -q -F "$part" >/dev/null
mount "$part" "$work/part"
mounts+=("$work/part")
refused "on the device being recovered from" recover "$disk" --advanced --types png --to "$work/part"
refused "on the device being recovered from" recover "$part" --to "$work/part"
[[ $(ls -A "$work/part") == lost+found ]] || fail "something was written before the refusal"

bash "$src/scripts/sample.sh" "$cli" "$work/sample" >"$work/sample.log" 2>&1 || fail "the sample job: $(tail -5 "$work/sample.log")"
grep -q "all 3 deleted files recovered byte for byte" "$work/sample.log" || fail "the sample job did not recover everything"
echo "cli_contract: exit codes, messages, Ctrl+C, --only and show behave"
