#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Found files cut at their own end: real files of about 40 types (photos, documents, archives,
# audio, video; compound documents from gnumeric and xlwt, zip-based documents) planted on a raw
# disk of other data, a third of them followed directly by that data and some across a 63-sector
# block boundary. The advanced search lists each at its sector under its own type with its exact
# size, and recover saves each byte for byte; --fixed-size keeps the maximum size.
set -euo pipefail
cli=${1:?usage: carving_real.sh PATH/TO/restora-cli}
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 >/dev/null || { echo "SKIPPED: python3 is missing"; exit 0; }
command -v convert >/dev/null || { echo "SKIPPED: ImageMagick (Debian package imagemagick) is missing"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/carving_samples.py" make "$work/samples" 1
count=$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))))' "$work/samples/manifest.json")
python3 "$here/carving_samples.py" plant "$work/samples" "$work/disk.img" 48 "$count"

"$cli" scan "$work/disk.img" --advanced --all-types --json --save-scan "$work/scan.qxs" >"$work/scan.json" 2>/dev/null
only=()
while read -r path; do only+=(--only "$path"); done < <(python3 - "$work/disk.img.placed.json" <<'PY'
import json, sys
for p in json.load(open(sys.argv[1])):
    print("Raw Data/%s/%s/%d.%s" % (p["category"], p["extension"], p["sector"], p["extension"]))
PY
)
mkdir "$work/out"
"$cli" recover --scan "$work/scan.qxs" --source "$work/disk.img" --to "$work/out" "${only[@]}" >/dev/null
python3 "$here/carving_samples.py" check "$work/disk.img.placed.json" "$work/scan.json" "$work/disk.img" "$work/out/#"

# The switch back: every found file keeps the maximum size, here cut at the disk's end.
"$cli" scan "$work/disk.img" --advanced --types png,pdf --fixed-size --json >"$work/fixed.json" 2>/dev/null
python3 - "$work/fixed.json" <<'PY'
import json, sys
scan = json.load(open(sys.argv[1]))
def files(node):
    for child in node["children"]:
        yield from files(child) if child["children"] or child["status"] & 2 else [child]
found = list(files(scan["root"]))
assert found, "nothing found"
for node in found:
    assert node["size"] == (scan["totalSectors"] - node["location"]) * 512, node
print("--fixed-size: %d found files keep the maximum size" % len(found))
PY
