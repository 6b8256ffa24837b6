#!/usr/bin/env bash
# Runs our jobs and the open-source peers side by side on the same warm benchmark volumes and
# prints one table: work, ours, peer, ratio (peer time / our time), and our peak memory.
# usage: bench/run.sh [VOLUME_FOLDER]      (volumes from bench/make-volumes.sh; made if missing)
# Installs the peers from Debian packages when they are missing. Not part of the test command.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/bench/out}
cli=${RESTORA_CLI:-$top/build-bench/cli/restora-cli}
runs=${RUNS:-3}

need=()
for pair in fls:sleuthkit ntfsundelete:ntfs-3g photorec:testdisk foremost:foremost hyperfine:hyperfine /usr/bin/time:time; do
  command -v "${pair%%:*}" >/dev/null || need+=("${pair##*:}")
done
if [ "${#need[@]}" -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
if [ -z "${RESTORA_CLI:-}" ]; then
  # An optimised build without sanitizers, whatever other build folders are configured for.
  cmake -S "$top" -B "$top/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRESTORA_SANITIZE=OFF \
    -DRESTORA_BUILD_TESTS=OFF >/dev/null
  ninja -C "$top/build-bench" >/dev/null
fi
"$top/bench/make-volumes.sh" "$out" >/dev/null

scratch=$(mktemp -d -p "$out" scratch.XXXX)
trap 'rm -rf "$scratch"' EXIT
for image in "$out"/*.img; do cat "$image" >/dev/null; done  # warm the page cache
cd "$scratch"  # PhotoRec leaves its log and session files in the current folder

# median seconds of a command over $runs runs (after one warm-up), or "n/a" when it fails
median() {
  local json="$scratch/h.json"
  if hyperfine -N --style none --warmup 1 --runs "$runs" --export-json "$json" --prepare "bash -c '${PREPARE:-true}'" "$1" >/dev/null 2>&1; then
    python3 -c 'import json,sys; print("%.3f" % json.load(open(sys.argv[1]))["results"][0]["median"])' "$json"
  else
    echo "n/a"
  fi
}
# peak resident memory in MB of one run
peak() {
  /usr/bin/time -o "$scratch/mem" -f '%M' bash -c "$1" >/dev/null 2>&1 || true
  python3 -c 'import sys; print("%.1f" % (int(open(sys.argv[1]).read().split()[-1]) / 1024))' "$scratch/mem" 2>/dev/null || echo "n/a"
}
rows=()
row() {  # work, our command, peer name, peer command
  local ours peer ratio mem
  ours=$(PREPARE="${OUR_PREPARE:-true}" median "$2")
  peer=$(PREPARE="${PEER_PREPARE:-true}" median "$4")
  mem=$(peak "$2")
  ratio=$(python3 -c 'import sys
try: print("%.2f" % (float(sys.argv[2]) / float(sys.argv[1])))
except Exception: print("n/a")' "$ours" "$peer")
  rows+=("$1|$ours|$3|$peer|$ratio|$mem")
}

types6=jpg,png,gif,bmp,zip,pdf
row "NTFS fast scan with paths" "$cli scan $out/ntfs.img --list" "fls -r -d -p" "fls -r -d -p $out/ntfs.img"
row "NTFS fast scan with paths" "$cli scan $out/ntfs.img --list" "ntfsundelete -s" "ntfsundelete -s $out/ntfs.img"
row "NTFS fast scan with paths" "$cli scan $out/ntfs.img --list" "ntfsundelete -s -v -P" "ntfsundelete -s -v -P $out/ntfs.img"
row "FAT32 fast scan" "$cli scan $out/fat32.img --list" "fls -r -d -p" "fls -r -d -p $out/fat32.img"
PEER_PREPARE="rm -rf $scratch/pr && mkdir -p $scratch/pr" row "signature search, all types" "$cli scan $out/disk.img --advanced --all-types --list" \
  "PhotoRec, 6 types" "photorec /log /d $scratch/pr/out /cmd $out/disk.img partition_none,options,paranoid_no,fileopt,everything,disable,jpg,enable,png,enable,gif,enable,bmp,enable,zip,enable,pdf,enable,search"
PEER_PREPARE="rm -rf $scratch/fm" row "signature search, all types" "$cli scan $out/disk.img --advanced --all-types --list" \
  "foremost -q, 6 types" "foremost -q -t $types6 -i $out/disk.img -o $scratch/fm"
row "signature search, all types" "$cli scan $out/disk.img --advanced --all-types --list" "cat > /dev/null" "cat $out/disk.img"
row "signature search, 6 types" "$cli scan $out/disk.img --advanced --types $types6 --list" "cat > /dev/null" "cat $out/disk.img"
row "image of the NTFS volume" "$cli image $out/ntfs.img $scratch/ntfs.qxi" "dd bs=1M" "dd if=$out/ntfs.img of=$scratch/dd.img bs=1M"
row "image of the NTFS volume" "$cli image $out/ntfs.img $scratch/ntfs.qxi" "cp" "cp $out/ntfs.img $scratch/cp.img"

# Recovery of the largest carved file (1 GiB on the 2 GiB disk) from a saved search (so only the copy is timed) against cp of
# the same bytes.
"$cli" scan "$out/disk.img" --advanced --types zip --save-scan "$scratch/zip.qxs" --json >"$scratch/zip.json"
read -r size first < <(python3 -c 'import json,sys
tree = json.load(open(sys.argv[1]))["root"]
def walk(n, path):
    for c in n["children"]:
        yield from walk(c, path + [c["name"]])
    if not n["children"]:
        yield n["size"], "/".join(path)
size, path = max(walk(tree, []))
print(size, path)' "$scratch/zip.json")
sector=${first##*/}; sector=${sector%%.*}
dd if="$out/disk.img" of="$scratch/carved.bin" bs=512 skip="$sector" count=$((size / 512)) status=none
OUR_PREPARE="rm -rf $scratch/rec && mkdir $scratch/rec" PEER_PREPARE="rm -f $scratch/cp.bin" \
  row "recover a carved file of $((size >> 20)) MiB" "$cli recover --scan $scratch/zip.qxs --source $out/disk.img --to $scratch/rec --only '$first'" \
  "cp" "cp $scratch/carved.bin $scratch/cp.bin"

echo
printf '%-32s %10s  %-24s %10s %8s %12s\n' "work" "ours (s)" "peer" "peer (s)" "ratio" "peak MB"
for r in "${rows[@]}"; do
  IFS='|' read -r work ours name peer ratio mem <<<"$r"
  printf '%-32s %10s  %-24s %10s %8s %12s\n' "$work" "$ours" "$name" "$peer" "$ratio" "$mem"
done
