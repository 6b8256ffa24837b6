#!/usr/bin/env bash
# Found files cut at their format's end, against PhotoRec on the same 2 GiB disk: 400 real files
# of about 30 types (tests/real/lib/samples.py: photos, JPEGs with Exif thumbnails,
# documents, archives, audio, video) planted among other data, a third followed directly by it and
# one in eight across a 63-sector block boundary. Prints how many files each recovers byte for
# byte and how long each search takes (wall and CPU), both run under nice on a warm page cache
# (PhotoRec with its default checks, which cut files at their ends).
# usage: bench/carving.sh [WORK_FOLDER]     (default /tmp/restora-carving; RESTORA_CLI=path to use
#        a built restora-cli, otherwise a Release build is made in build-release). Not part of ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-${TMPDIR:-/tmp}/restora-carving}
cli=${RESTORA_CLI:-$top/build-release/cli/restora-cli}
mib=${DISK_MIB:-2048}
count=${FILES:-400}
need=()
for pair in photorec:testdisk /usr/bin/time:time; do command -v "${pair%%:*}" >/dev/null || need+=("${pair##*:}"); done
if [ "${#need[@]}" -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
if [ ! -x "$cli" ]; then
  cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRESTORA_BUILD_TESTS=OFF >/dev/null
  nice ninja -C "$top/build-release" -j2 restora-cli signature_file >/dev/null
fi
samples="$top/tests/real/lib/samples.py"
mkdir -p "$out"
if [ ! -f "$out/disk.img" ] || [ ! -f "$out/disk.img.placed.json" ]; then
  rm -rf "$out/samples"
  python3 "$samples" make "$out/samples"
  python3 "$samples" plant "$out/samples" "$out/disk.img" "$mib" "$count"
fi
cat "$out/disk.img" >/dev/null  # warm the page cache

scratch=$(mktemp -d -p "$out")
trap 'rm -rf "$scratch"' EXIT
# timed LABEL COMMAND...: runs once under nice; prints "wall cpu" seconds into $scratch/LABEL.time
timed() {
  local label=$1
  shift
  /usr/bin/time -o "$scratch/$label.time" -f '%e %U %S' nice "$@" >"$scratch/$label.out" 2>"$scratch/$label.err"
}
timed ours "$cli" scan "$out/disk.img" --advanced --all-types --json
ours=$(python3 "$samples" check "$out/disk.img.placed.json" "$scratch/ours.out" "$out/disk.img" | tail -1)
mkdir -p "$scratch/pr"
(cd "$scratch" && timed photorec photorec /log /d "$scratch/pr/out" /cmd "$out/disk.img" \
  partition_none,fileopt,everything,enable,search)
peer=$(python3 - "$out/disk.img.placed.json" "$scratch/pr" <<'PY'
import hashlib, json, os, re, sys
placed = json.load(open(sys.argv[1]))
by_sector = {}
for base, _, names in os.walk(sys.argv[2]):
    for name in names:
        match = re.match(r"^f(\d+)", name)
        if match:
            by_sector.setdefault(int(match.group(1)), []).append(os.path.join(base, name))
whole = 0
for p in placed:
    for path in by_sector.get(p["sector"], []):
        if hashlib.sha256(open(path, "rb").read()).hexdigest() == p["sha256"]:
            whole += 1
            break
print("%d of %d planted files found whole" % (whole, len(placed)))
PY
)
read -r our_wall our_user our_sys <"$scratch/ours.time"
read -r peer_wall peer_user peer_sys <"$scratch/photorec.time"
types=$(python3 -c 'import json,sys; print(len({p["extension"] for p in json.load(open(sys.argv[1]))}))' "$out/disk.img.placed.json")
echo "disk: $mib MiB, $types types planted"
printf '%-34s %-40s %9s %9s\n' "search" "recovered byte for byte" "wall (s)" "cpu (s)"
printf '%-34s %-40s %9s %9.2f\n' "restora-cli scan --advanced" "$ours" "$our_wall" "$(echo "$our_user + $our_sys" | bc)"
printf '%-34s %-40s %9s %9.2f\n' "photorec, every type" "$peer" "$peer_wall" "$(echo "$peer_user + $peer_sys" | bc)"
python3 -c 'import sys; print("PhotoRec time / ours: %.1f (wall)" % (float(sys.argv[2]) / float(sys.argv[1])))' "$our_wall" "$peer_wall"
