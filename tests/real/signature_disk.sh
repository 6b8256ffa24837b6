#!/usr/bin/env bash
# The advanced search over a raw "disk" file: real files of 21 types written at known sectors
# (sector 0, both sides of a large-read boundary, near the end) are each found at their sector,
# under their category and extension folders, named "<sector>.<ext>", with the size their type
# gives cut at the end of the disk; compound documents are told apart; a disk of zeros yields
# nothing.
set -euo pipefail
cli=${1:?usage: signature_disk.sh PATH/TO/restora-cli}
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 >/dev/null || { echo "SKIPPED: python3 is missing"; exit 0; }
convert=$(command -v convert-im6.q16 || command -v magick || true)
[ -n "$convert" ] || { echo "SKIPPED: ImageMagick (Debian package imagemagick) is missing"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/signature_samples.py" make "$work/samples" "$convert"
# 48 MiB = 98,304 sectors; the last sample ends inside the last sector but one.
truncate -s 48M "$work/disk.img"
sectors=5000,0,777,2047,3001,4000,8064,9000,9100,9200,9300,12345,16000,20000,25000,30000,40000,50000,63000,98300,8063
python3 "$here/signature_samples.py" plant "$work/samples" "$work/disk.img" "$sectors"

"$cli" scan "$work/disk.img" --advanced --all-types --fixed-size --json >"$work/scan.json" 2>"$work/scan.err"
python3 "$here/signature_samples.py" check "$work/disk.img.placed.json" "$work/scan.json" "$work/disk.img"

# The listing form names the same files.
"$cli" scan "$work/disk.img" --advanced --types pdf,doc --fixed-size --list >"$work/list.txt" 2>/dev/null
grep -qx "deleted-file 66048 Raw Data/Documents/doc/9300.doc" "$work/list.txt" \
  || { echo "FAIL: the list form lacks 9300.doc"; cat "$work/list.txt"; exit 1; }
[ "$(grep -c -- '-file ' "$work/list.txt")" -eq 2 ] || { echo "FAIL: --types pdf,doc found other files"; exit 1; }

# Nothing in zeros: an empty Raw Data folder.
truncate -s 16M "$work/zeros.img"
"$cli" scan "$work/zeros.img" --advanced --all-types --json 2>/dev/null >"$work/zeros.json"
python3 - "$work/zeros.json" <<'PY'
import json, sys
scan = json.load(open(sys.argv[1]))
children = scan["root"]["children"]
assert scan["completed"] and scan["kind"] == "Disk", scan
assert [c["name"] for c in children] == ["Raw Data"] and children[0]["children"] == [], children
PY
echo "advanced search: all planted files found"
