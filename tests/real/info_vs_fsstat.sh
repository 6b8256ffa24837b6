#!/usr/bin/env bash
# restora-cli info on volumes made by mkfs.fat and mkntfs agrees with fsstat of The Sleuth Kit,
# and every other kind of data is refused with exit 1 and one clear line.
set -euo pipefail
cli=${1:?usage: info_vs_fsstat.sh PATH/TO/restora-cli}
for tool in mkfs.fat mkntfs fsstat python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

truncate -s 64M "$work/fat16.img" && mkfs.fat -F 16 -s 4 "$work/fat16.img" >/dev/null
truncate -s 300M "$work/fat32.img" && mkfs.fat -F 32 -s 8 "$work/fat32.img" >/dev/null
truncate -s 80M "$work/ntfs.img" && mkntfs -q -F -f -c 4096 "$work/ntfs.img" >/dev/null 2>&1
truncate -s 40M "$work/ntfs1k.img" && mkntfs -q -F -f -c 1024 "$work/ntfs1k.img" >/dev/null 2>&1

for image in fat16 fat32 ntfs ntfs1k; do
  "$cli" info "$work/$image.img" --json >"$work/$image.json"
  fsstat "$work/$image.img" >"$work/$image.fsstat"
done

python3 - "$work" <<'PY'
import json, re, sys
work = sys.argv[1]

def fsstat(name):
    return open(f"{work}/{name}.fsstat").read()

def field(text, pattern):
    m = re.search(pattern, text, re.M)
    assert m, pattern
    return m.groups()

failures = []
def check(what, ours, theirs):
    if ours != theirs:
        failures.append(f"{what}: ours {ours}, fsstat {theirs}")

for name, kind in (("fat16", "Fat16"), ("fat32", "Fat32")):
    info = json.load(open(f"{work}/{name}.json"))
    text = fsstat(name)
    check(f"{name} kind", info["kind"], kind)
    check(f"{name} total", info["totalSectors"] - 1, int(field(text, r"^Total Range: 0 - (\d+)")[0]))
    fat0 = [int(x) for x in field(text, r"^\* FAT 0: (\d+) - (\d+)")]
    fat1 = [int(x) for x in field(text, r"^\* FAT 1: (\d+) - (\d+)")]
    check(f"{name} fat1Sector", info["fat1Sector"], fat0[0])
    check(f"{name} fat2Sector", info["fat2Sector"], fat1[0])
    check(f"{name} sectorsPerFat", info["sectorsPerFat"], fat0[1] - fat0[0] + 1)
    check(f"{name} clusterBaseSector", info["clusterBaseSector"], int(field(text, r"^\* Data Area: (\d+)")[0]))
    cluster = int(field(text, r"^Cluster Size: (\d+)")[0])
    check(f"{name} sectorsPerCluster", info["sectorsPerCluster"], cluster // 512)
    per_sector = 256 if kind == "Fat16" else 128
    check(f"{name} fatEntryCount", info["fatEntryCount"], (fat0[1] - fat0[0] + 1) * per_sector)
    check(f"{name} fatKind", info["fatKind"], 1 if kind == "Fat16" else 2)
    if kind == "Fat16":
        # Cluster 2 lies past the fixed root area of 32 sectors.
        check("fat16 cluster area", info["clusterBaseSector"] + 32, int(field(text, r"^\*\* Cluster Area: (\d+)")[0]))

for name in ("ntfs", "ntfs1k"):
    info = json.load(open(f"{work}/{name}.json"))
    text = fsstat(name)
    check(f"{name} kind", info["kind"], "Ntfs")
    check(f"{name} total", info["totalSectors"] - 1, int(field(text, r"^Total Sector Range: 0 - (\d+)")[0]))
    check(f"{name} mftCluster", info["mftCluster"], int(field(text, r"^First Cluster of MFT: (\d+)")[0]))
    check(f"{name} mftMirrorCluster", info["mftMirrorCluster"], int(field(text, r"^First Cluster of MFT Mirror: (\d+)")[0]))
    cluster = int(field(text, r"^Cluster Size: (\d+)")[0])
    check(f"{name} sectorsPerCluster", info["sectorsPerCluster"], cluster // 512)
    check(f"{name} sectorsPerRecord", info["sectorsPerRecord"], int(field(text, r"^Size of MFT Entries: (\d+)")[0]) // 512)
    check(f"{name} sectorsPerIndexBuffer", info["sectorsPerIndexBuffer"], int(field(text, r"^Size of Index Records: (\d+)")[0]) // 512)
    check(f"{name} serialNumber", "%X" % info["serialNumber"], field(text, r"^Volume Serial Number: ([0-9A-F]+)")[0].lstrip("0"))
    assert info["mftExtents"] >= 1

if failures:
    print("\n".join(failures))
    sys.exit(1)
PY

# A whole "disk" takes only its size.
"$cli" info "$work/fat16.img" --disk --json | python3 -c '
import json, sys
info = json.load(sys.stdin)
assert info["kind"] == "Disk" and info["totalSectors"] == 131072, info'

# Anything else is refused with exit 1 and one line on stderr.
refuse() {
  local expected=$1; shift
  set +e
  "$cli" info "$@" >"$work/out" 2>"$work/err"
  local code=$?
  set -e
  if [ "$code" -ne 1 ] || [ -s "$work/out" ] || [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -qF -- "$expected" "$work/err"; then
    echo "FAIL: info $* gave exit $code, stdout $(cat "$work/out"), stderr $(cat "$work/err")"
    exit 1
  fi
}
truncate -s 4M "$work/zeros.img"
refuse "not a FAT16, FAT32 or NTFS volume: $work/zeros.img" "$work/zeros.img"
head -c 100 /dev/urandom >"$work/tiny.img"
refuse "not a FAT16, FAT32 or NTFS volume: $work/tiny.img" "$work/tiny.img"
refuse "$work is a directory" "$work"
refuse "cannot open $work/missing.img: No such file or directory" "$work/missing.img"
: >"$work/empty.img"
refuse "cannot tell the size of $work/empty.img" "$work/empty.img" --disk
if command -v mkfs.ext4 >/dev/null; then
  truncate -s 8M "$work/ext4.img" && mkfs.ext4 -q -F "$work/ext4.img" >/dev/null 2>&1
  refuse "not a FAT16, FAT32 or NTFS volume" "$work/ext4.img"
fi
# A FAT12 floppy is not one of the supported kinds.
truncate -s 1440K "$work/fat12.img" && mkfs.fat -F 12 "$work/fat12.img" >/dev/null
refuse "not a FAT16, FAT32 or NTFS volume" "$work/fat12.img"
echo "info_vs_fsstat: all checks passed"
