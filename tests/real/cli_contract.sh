#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli as a command: exit codes (0 done, 1 unusable source or destination, 2 some entries
# failed, 130 Ctrl+C) and one clear line for each refusal; --only and --types; show prints what scan printed; a destination on the device being recovered
# from (the disk or a partition of it) is refused; the README's sample job runs through.
source "$(dirname "$0")/lib/common.bash"
need python3 mkfs.fat mkfs.ext2 mcopy losetup jq
need_volumes
need_corpus
need_root
fat16=$volumes/fat16.img

# Refusals and outcomes: exit code; part of the message; arguments (no spaces inside one).
truncate -s 1M "$work/zeros.img"
cp "$work/zeros.img" "$work/zeros.qxi"
cp "$fat16" "$work/fat16.img"
printf 'DAZ-\xaa\x55\0\0' >"$work/wrong.qxs"
mkdir "$work/none" "$work/blocked" "$work/tiny" "$work/part"
echo "not a folder" >"$work/blocked/#"
"$cli" scan "$fat16" --save-scan "$work/fat16.qxs" >/dev/null
mount -t tmpfs -o size=64k tmpfs "$work/tiny"
mounts+=("$work/tiny")
truncate -s 48M "$work/disk.img"
disk=$(losetup --find --show --read-only "$work/disk.img") && loops+=("$disk")
part=$(losetup --find --show --offset $((1024 * 1024)) --sizelimit $((40 * 1024 * 1024)) "$work/disk.img") && loops+=("$part")
mkfs.ext2 -q -F "$part" >/dev/null
mount "$part" "$work/part"
mounts+=("$work/part")
while IFS=';' read -r code message args; do
  read -ra a <<<"$args"
  expect "$code" "$cli" "${a[@]}"
  grep -q -- "$message" "$work/last.err" "$work/last.out" || fail "$args: $(cat "$work/last.err")"
  [[ $code == 0 || ${a[0]} != scan || ! -s $work/last.out ]] || fail "$args: a refused scan printed a listing"
done <<EOF
1;cannot open;scan $work/missing.img
1;is a directory;scan $work
1;not a FAT16, FAT32 or NTFS volume;scan $work/zeros.img
1;not a FAT16, FAT32 or NTFS volume;scan $corpus/dftt-fat12-5-daylight.img
1;usage;scan
1;unknown option --bogus;scan $fat16 --bogus
1;unknown file type 'nosuch';scan $work/zeros.img --advanced --types jpg,nosuch
1;exclude each other;scan $work/zeros.img --advanced --types jpg --all-types
1;whole number of KB;scan $work/zeros.img --advanced --max-size-kb 12abc
1;Failed to open image file or image file is not valid;scan $work/zeros.qxi
1;is the source itself;scan $work/fat16.img --save-scan $work/fat16.img
1;not a scan information file;show $work/wrong.qxs
0;no entry to save matches;recover $fat16 --to $work/none --only no-such-file
0;;recover $fat16 --to $work/made --only */Deepest/*
0;;recover $work/zeros.img --advanced --types jpg --to $work/nothing
1;;recover $fat16 --to $work/missing/below
1;;recover $fat16 --to $volumes/fat16.tsv
1;;recover $work/no-such.img --to $work/none
1;cannot create or enter the folder #;recover $fat16 --to $work/blocked
1;made from a FAT16 source, but .* is a FAT32 source;recover --scan $work/fat16.qxs --source $volumes/fat32.img --to $work/saved
1;describes another volume;recover --scan $work/fat16.qxs --source $corpus/dftt-fat16-6-undel.img --to $work/saved
1;on the device being recovered from;recover $disk --advanced --types png --to $work/part
1;on the device being recovered from;recover $part --to $work/part
2;^incomplete \|^failed ;recover $fat16 --to $work/tiny
EOF
cmp -s "$fat16" "$work/fat16.img" || fail "a scan file was written over its source"
[[ -z $(ls -A "$work/none/#") && -d $work/made/# && $(ls -A "$work/blocked") == "#" ]] || fail "a destination was used otherwise"
[[ -d "$work/nothing/#/Raw Data" ]] || fail "a search that found nothing saved its folder as a file"
grep -q "^written " "$work/last.out" || fail "a full destination (the last row): nothing written"
[[ $(ls -A "$work/part") == lost+found ]] || fail "something was written before the refusal"

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
# Ctrl+C ends a long scan with 130 and the tree so far.
python3 "$src/bench/fat_make_big_folder.py" "$work/big.img" 400000
start=$(date +%s%N)
"$cli" scan "$work/big.img" --json >/dev/null
"$cli" scan "$work/big.img" --json >"$work/stopped.json" &
scan=$!
sleep "$(( ($(date +%s%N) - start) / 5000000 ))e-3"
kill -INT "$scan"
wait "$scan" && fail "an interrupted scan ended normally" || [[ $? == 130 ]] || fail "an interrupted scan exited otherwise"
jq -e '.completed == false' "$work/stopped.json" >/dev/null || fail "an interrupted scan is reported as completed"

# --only saves the entries that match and the folders on their way.
expect 0 "$cli" recover "$fat16" --to "$work/only" --only '*/Deepest/*' --only 'Old Projects/sub dir'
[[ $(cd "$work/only/#" && find . -type f | LC_ALL=C sort | tr '\n' ';') == \
   "./Documents/Deep/Deeper/Deepest/old photo.jpg;./Documents/Deep/Deeper/Deepest/日本語のファイル名.txt;./Old Projects/sub dir/xata.csv;" ]] ||
  fail "--only saved other entries: $(cd "$work/only" && find . -type f)"
bash "$src/scripts/sample.sh" "$cli" "$work/sample" >"$work/sample.log" 2>&1 || fail "the sample job: $(tail -5 "$work/sample.log")"
grep -q "all 3 deleted files recovered byte for byte" "$work/sample.log" || fail "the sample job did not recover everything"
echo "cli_contract: exit codes, messages, Ctrl+C, --only and show behave"
