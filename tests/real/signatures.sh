#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The signature search on real files, one for each reader of a format's end (lib/samples.py):
# planted on a raw disk of other data (at sector 0, at the start of a read and across its end,
# at the disk's end), each is found at its sector under its category and
# extension, cut at its own end, and saved byte for byte, and nothing else is found. Written to a
# FAT32 volume (mtools), each file is found by the lost-file search where istat
# says it starts and saved whole.
source "$(dirname "$0")/lib/common.bash"
need python3 mkfs.fat mcopy mdel fls istat
CONVERT=$(command -v convert-im6.q16 || command -v magick || command -v convert) || skip "ImageMagick is not installed"
export CONVERT
need_volumes
samples() { python3 "$src/tests/real/lib/samples.py" "$@" || fail "samples.py $1 $3"; }

samples make "$work/samples"
samples plant "$work/samples" "$work/disk.img" 16
"$cli" scan "$work/disk.img" --advanced --all-types --json --save-scan "$work/disk.qxs" >"$work/disk.json"
"$cli" recover --scan "$work/disk.qxs" --source "$work/disk.img" --to "$work/disk" >/dev/null
samples check "$work/disk.img.placed.json" "$work/disk.json" "$work/disk.img" --saved "$work/disk/#"
mapfile -t files < <(find "$work/samples" -type f ! -name manifest.json)
truncate -s 64M "$work/fat32.img"
mkfs.fat -F 32 -s 1 "$work/fat32.img" >/dev/null
mcopy -i "$work/fat32.img" "${files[@]}" ::/
mdel -i "$work/fat32.img" ::/report.docx ::/photo.jpg ::/gnumeric.xls ::/song.mp3
image=$work/fat32.img
"$cli" scan "$image" --lost --all-types --json >"$image.json"
samples locate "$work/samples" "$image"
[[ $(grep -c '"file"' "$image.placed.json") -ge 15 ]] || fail "too few samples located to prove anything"
"$cli" recover "$image" --lost --all-types --to "$image.saved" >/dev/null
samples check "$image.placed.json" "$image.json" "$image" --saved "$image.saved/#"
echo "signatures: every planted and written file found whole"
