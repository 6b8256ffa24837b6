#!/usr/bin/env bash
# restora-cli signatures and the file-type options of the searches: the listing is the text
# source, types are chosen by extension or category, bad options are refused with one line, the
# size option reaches the found files, and the "Signature" file is found beside the program or in
# <prefix>/share/restora, or reported missing.
set -euo pipefail
cli=${1:?usage: signature_cli.sh PATH/TO/restora-cli}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=${RESTORA_SOURCE_DIR:-$here/../..}
command -v python3 >/dev/null || { echo "SKIPPED: python3 is missing"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The listing holds exactly the lines of the text source, in order.
"$cli" signatures --json >"$work/types.json"
"$cli" signatures >"$work/types.txt"
python3 - "$work/types.json" "$work/types.txt" "$source_dir/data/signatures.txt" <<'PY'
import json, sys
listing = json.load(open(sys.argv[1]))
lines = open(sys.argv[2]).read().splitlines()
source = []
for line in open(sys.argv[3]):
    line = line.strip()
    if line and not line.startswith("#"):
        name, ext, category, offset, signature, selected, family = [f.strip() for f in line.split("|")]
        source.append({"name": name, "extension": ext, "category": category, "selected": selected == "1",
                       "family": int(family), "offset": int(offset),
                       "signature": signature.replace(" ", "").lower()})
assert listing["types"] == source, "the listing differs from data/signatures.txt"
assert listing["count"] == len(source) == len(lines), (listing["count"], len(lines))
assert len({t["extension"] for t in source}) >= 40
for row, line in zip(source, lines):
    assert line.startswith("[x] " if row["selected"] else "[ ] "), line
    assert line.split()[-1] == row["name"].split()[-1] and row["extension"] in line.split(), line
PY

# A small disk: a JPEG at sector 10, a tar archive (not selected at first) at sector 100.
truncate -s 1M "$work/disk.img"
printf '\xff\xd8\xff\xe0\x00\x10JFIF\x00' | dd of="$work/disk.img" bs=512 seek=10 conv=notrunc status=none
printf 'ustar\00000' | dd of="$work/disk.img" bs=1 seek=$((100 * 512 + 257)) conv=notrunc status=none
found() { "$cli" scan "$work/disk.img" --advanced "$@" --list 2>/dev/null | grep -- '-file ' | cut -d' ' -f3- | sort | tr '\n' ';'; }
[ "$(found)" = "Raw Data/Photos/jpg/10.jpg;" ] || fail "default selection: $(found)"
[ "$(found --types TAR)" = "Raw Data/Archives/tar/100.tar;" ] || fail "--types TAR: $(found --types TAR)"
[ "$(found --types photos,tar)" = "Raw Data/Archives/tar/100.tar;Raw Data/Photos/jpg/10.jpg;" ] || fail "--types photos,tar"
[ "$(found --types=pdf --types jpg)" = "Raw Data/Photos/jpg/10.jpg;" ] || fail "repeated --types"
[ "$(found --all-types)" = "Raw Data/Archives/tar/100.tar;Raw Data/Photos/jpg/10.jpg;" ] || fail "--all-types"

refused() {  # refused EXPECTED-MESSAGE ARGS...: exit 1 with one line naming the fault
  local expected=$1
  shift
  if "$cli" scan "$work/disk.img" --advanced "$@" >/dev/null 2>"$work/err"; then fail "accepted: $*"; fi
  grep -q -- "$expected" "$work/err" || fail "$*: $(cat "$work/err")"
}
refused "unknown file type 'nosuch'" --types jpg,nosuch
refused "exclude each other" --types jpg --all-types
refused "whole number of KB" --max-size-kb -5
refused "whole number of KB" --max-size-kb 12abc

# The size option reaches the found files: below 1 GiB + 1 MiB of disk, the default 1024 MiB
# stays whole and 1025 MiB is cut at the disk's end.
truncate -s $((1024 * 1048576 + 1048576)) "$work/big.img"
printf '\xff\xd8\xff\xe0\x00\x10JFIF\x00' | dd of="$work/big.img" conv=notrunc status=none
"$cli" scan "$work/big.img" --advanced --types jpg --max-size-kb 1049600 --list 2>/dev/null >"$work/big.txt"
grep -qx "deleted-file $((1024 * 1048576 + 1048576)) Raw Data/Photos/jpg/0.jpg" "$work/big.txt" || fail "$(cat "$work/big.txt")"
rm "$work/big.img"

# Where the Signature file is looked for: beside the program, then <prefix>/share/restora.
mkdir -p "$work/alone" "$work/prefix/bin" "$work/prefix/share/restora"
cp "$cli" "$work/alone/restora-cli"
if "$work/alone/restora-cli" signatures >/dev/null 2>"$work/err"; then fail "ran without a Signature file"; fi
grep -q "Failed to retrieve signatures information" "$work/err" || fail "$(cat "$work/err")"
if "$work/alone/restora-cli" scan "$work/disk.img" --advanced >/dev/null 2>"$work/err"; then fail "searched without types"; fi
grep -q "Failed to retrieve signatures information" "$work/err" || fail "$(cat "$work/err")"

cp "$cli" "$work/prefix/bin/restora-cli"
cp "$(dirname "$cli")/Signature" "$work/prefix/share/restora/Signature"
(cd / && "$work/prefix/bin/restora-cli" signatures --json) >"$work/installed.json"
python3 - "$work/installed.json" "$work/prefix/share/restora/Signature" <<'PY'
import json, sys
listing = json.load(open(sys.argv[1]))
assert listing["file"] == sys.argv[2] and listing["count"] > 40, listing["file"]
PY

# An empty Signature file reads as one empty type that is not selected: nothing to search.
: >"$work/alone/Signature"
"$work/alone/restora-cli" signatures --json >"$work/empty.json"
python3 - "$work/empty.json" <<'PY'
import json, sys
types = json.load(open(sys.argv[1]))["types"]
assert types == [{"name": "", "extension": "", "category": "", "selected": False, "family": 0, "offset": 0,
                  "signature": ""}], types
PY
if "$work/alone/restora-cli" scan "$work/disk.img" --advanced >/dev/null 2>"$work/err"; then fail "searched with no type"; fi
grep -q "no file type selected" "$work/err" || fail "$(cat "$work/err")"
echo "signatures and type options: all checks passed"
