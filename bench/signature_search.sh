#!/usr/bin/env bash
# Signature-search throughput on a page-cached 1 GiB raw image, with every shipped type selected,
# and the same run with few types, to show that the time per sector does not grow with the
# number of types. Prints MB/s per selection and the ratio of the CPU times.
# usage: bench/signature_search.sh [WORK_FOLDER]     (default /tmp/restora-bench; RESTORA_CLI=path
#        to use a built restora-cli, otherwise a Release build is made in build-release with two
#        jobs). Not part of ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-${TMPDIR:-/tmp}/restora-bench}
runs=${RUNS:-5}
cli=${RESTORA_CLI:-$top/build-release/cli/restora-cli}
command -v hyperfine >/dev/null || { echo "hyperfine is needed (Debian package hyperfine)"; exit 1; }
if [ ! -x "$cli" ]; then
  cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRESTORA_BUILD_TESTS=OFF >/dev/null
  ninja -C "$top/build-release" -j2 restora-cli signature_file >/dev/null
fi
mkdir -p "$out"
image=$out/signature-search-1g.img
size=$((1024 * 1048576))
if [ "$(stat -c %s "$image" 2>/dev/null || echo 0)" -ne "$size" ]; then
  # Ordinary-looking data: random blocks (compressed media), text and zeros, a few real hits.
  python3 - "$image" "$size" <<'PY'
import os, random, sys
path, size = sys.argv[1], int(sys.argv[2])
random.seed(7)
text = b"".join(b"line %d of a log file that a signature search should pass over quickly\n" % i for i in range(20000))
chunk = 1 << 20
with open(path, "wb") as out:
    for n in range(size // chunk):
        kind = n % 4
        if kind == 0:
            block = bytearray(os.urandom(chunk))
        elif kind == 1:
            block = bytearray((text * (chunk // len(text) + 1))[:chunk])
        elif kind == 2:
            block = bytearray(chunk)
        else:
            block = bytearray(os.urandom(chunk // 2) + bytes(chunk // 2))
        if n % 16 == 3:
            block[0:11] = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00"
        if n % 32 == 5:
            block[0:5] = b"%PDF-"
        out.write(block)
PY
fi
cat "$image" >/dev/null  # warm the page cache
mb=$(python3 -c "print($size / 1e6)")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Wall time on a shared machine varies with the other load; user + system CPU time does not, so
# both are shown. The image is read from the page cache: the system time is mostly that copy.
report() {  # report LABEL RECORDS COMMAND...
  local label=$1 records=$2
  shift 2
  hyperfine -N --style none --warmup 1 --runs "$runs" --export-json "$scratch/h.json" "$*" >/dev/null 2>&1
  python3 - "$scratch/h.json" "$label" "$records" "$mb" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))["results"][0]
cpu = result["user"] + result["system"]
mb = float(sys.argv[4])
print("%-22s %4s  wall %6.3f s %6.0f MB/s   cpu %6.3f s (user %5.3f) %6.0f MB/s" % (
    sys.argv[2], sys.argv[3], result["median"], mb / result["median"], cpu, result["user"], mb / cpu))
print(cpu, file=open(sys.argv[1] + ".cpu", "w"))
PY
}
echo "1 GiB image, page-cached; records = selected records of the Signature file"
declare -A cpu
for selection in "pdf" "jpg,png,pdf,zip,doc" "all"; do
  if [ "$selection" = all ]; then options=(--all-types); else options=(--types "$selection"); fi
  records=$("$cli" scan "$image" --advanced "${options[@]}" --list 2>&1 >/dev/null | sed -n 's/ file type(s) to search//p')
  report "$selection" "$records" "$cli" scan "$image" --advanced "${options[@]}" --list
  cpu[$selection]=$(cat "$scratch/h.json.cpu")
done
report "cat (reading alone)" "" cat "$image"
python3 -c 'import sys; print("cpu time, all types / 5 types: %.2f" % (float(sys.argv[1]) / float(sys.argv[2])))' \
  "${cpu[all]}" "${cpu[jpg,png,pdf,zip,doc]}"
