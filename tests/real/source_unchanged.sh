#!/usr/bin/env bash
# Every job (description, scans, searches, saving a scan, imaging, recovery) leaves its source's bytes as
# they were: the image files of real FAT16, FAT32 and NTFS volumes (and of a damaged one, and the
# same files opened as whole disks) are hashed before and after each job. A job may fail on the damaged volume, but it must end with one of its own exit
# codes (0, 1 or 2), never by a signal.
set -euo pipefail
cli=${1:?usage: source_unchanged.sh PATH/TO/restora-cli}
here=$(cd "$(dirname "$0")" && pwd)
for tool in sha256sum mkfs.fat mcopy mdel python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus="$here/../../../shared/corpus/real"
[ -d "$corpus" ] || corpus="${RESTORA_SOURCE_DIR:-$here/../..}/../shared/corpus/real"

volumes=()
for name in dftt-ntfs-7-undel dfirntfs-fat16-deleted-dir fatcat-fat32-deleted; do
  if [ -f "$corpus/$name.img" ]; then
    cp "$corpus/$name.img" "$work/$name.img"
    volumes+=("$work/$name.img")
  fi
done

# A FAT32 volume with files written and some deleted by mtools.
truncate -s 40M "$work/fat32.img"
mkfs.fat -F 32 -s 1 "$work/fat32.img" >/dev/null
python3 - "$work" <<'PY'
import os, sys
for i in range(6):
    with open(os.path.join(sys.argv[1], f"file{i}.bin"), "wb") as out:
        out.write(bytes([0xFF, 0xD8, 0xFF, 0xE0]) + bytes((i * 7 + j) % 251 for j in range(20000 * (i + 1))))
PY
mmd -i "$work/fat32.img" ::/dir
for i in 0 1 2; do mcopy -i "$work/fat32.img" "$work/file$i.bin" ::/; done
for i in 3 4 5; do mcopy -i "$work/fat32.img" "$work/file$i.bin" ::/dir/; done
mdel -i "$work/fat32.img" ::/file1.bin ::/dir/file4.bin
volumes+=("$work/fat32.img")

# A damaged NTFS volume: the table of the first NTFS sample overwritten with a fixed pattern.
if [ -f "$work/dftt-ntfs-7-undel.img" ]; then
  cp "$work/dftt-ntfs-7-undel.img" "$work/damaged.img"
  python3 - "$work/damaged.img" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    boot = f.read(512)
    table = struct.unpack_from("<Q", boot, 0x30)[0] * boot[0x0D] * 512
    state = 12345
    for record in range(2, 48):
        f.seek(table + record * 1024 + 0x30)
        chunk = bytearray()
        for _ in range(200):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            chunk.append(state >> 16 & 0xFF)
        f.write(chunk)
PY
  volumes+=("$work/damaged.img")
fi

failures=0
run_job() {  # run_job IMAGE ARGS...: the job must keep the image's bytes and end by itself
  local image=$1; shift
  local before after code=0
  before=$(sha256sum <"$image")
  "$cli" "$@" >"$work/out.txt" 2>&1 || code=$?
  after=$(sha256sum <"$image")
  if [ "$before" != "$after" ]; then
    echo "FAIL: $* changed $(basename "$image")"
    failures=$((failures + 1))
  fi
  if [ "$code" -gt 2 ]; then
    echo "FAIL: $* ended with $code"; tail -5 "$work/out.txt"
    failures=$((failures + 1))
  fi
}

jobs=0
for image in "${volumes[@]}"; do
  original=$(sha256sum <"$image")
  run_job "$image" info "$image"
  run_job "$image" info "$image" --disk
  run_job "$image" scan "$image" --list
  run_job "$image" scan "$image" --json --save-scan "$work/scan.qxs"
  run_job "$image" scan "$image" --lost --all-types --list
  run_job "$image" scan "$image" --advanced --disk --all-types --list
  run_job "$image" image "$image" "$work/copy.qxi"
  run_job "$image" show "$work/scan.qxs" --list
  rm -rf "$work/dest" && mkdir "$work/dest"
  run_job "$image" recover "$image" --to "$work/dest"
  run_job "$image" recover "$image" --to "$work/dest" --lost --all-types
  run_job "$image" recover --scan "$work/scan.qxs" --source "$image" --to "$work/dest"
  jobs=$((jobs + 11))
  if [ "$original" != "$(sha256sum <"$image")" ]; then
    echo "FAIL: $(basename "$image") differs after all jobs"
    failures=$((failures + 1))
  fi
done
# The copies made from the samples must still equal them.
for image in "${volumes[@]}"; do
  name=$(basename "$image")
  if [ -f "$corpus/$name" ] && ! cmp -s "$corpus/$name" "$image"; then
    echo "FAIL: $name differs from the sample"
    failures=$((failures + 1))
  fi
done
echo "${#volumes[@]} volumes, $jobs jobs, $failures failures"
[ "$failures" -eq 0 ]
