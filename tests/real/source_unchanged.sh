#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every job leaves its source's bytes as they were: the volumes of the real tools, public samples,
# a damaged NTFS volume and the same files as whole disks are hashed before and after each job
# (a job may fail on the damaged volume, but only with its own exit codes). Imaging: the image
# holds the volume's first ceil(T/63) blocks of 63 sectors, zero-padded, also from a loop device;
# its scan equals the volume's; an image onto its source or onto a volume mounted from it is
# refused.
source "$(dirname "$0")/lib/common.bash"
need sha256sum python3 fls losetup ntfs-3g
need_volumes
need_corpus
need_root

for name in fat16 fat32 ntfs; do cp "$volumes/$name.img" "$work/$name.img"; done
cp "$corpus/dftt-ntfs-7-undel.img" "$corpus/fatcat-fat32-deleted.img" "$work/"
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

jobs=0
for image in "$work"/*.img; do
  before=$(sha256sum <"$image")
  rm -rf "$work/dest" && mkdir "$work/dest"
  for job in "info $image" "info $image --disk" "scan $image --save-scan $work/scan.qxs" \
             "scan $image --lost --all-types" "scan $image --advanced --disk --all-types" "image $image $work/copy.qxi" \
             "show $work/scan.qxs" "recover $image --to $work/dest" "recover $image --to $work/dest --lost --all-types" \
             "recover --scan $work/scan.qxs --source $image --to $work/dest"; do
    code=0
    read -ra args <<<"$job"
    "$cli" "${args[@]}" >/dev/null 2>&1 || code=$?
    [[ $code -le 2 ]] || fail "$job ended with $code"
    [[ $(sha256sum <"$image") == "$before" ]] || fail "$job changed $(basename "$image")"
    jobs=$((jobs + 1))
  done
done
for name in dftt-ntfs-7-undel fatcat-fat32-deleted; do cmp -s "$corpus/$name.img" "$work/$name.img" || fail "$name changed"; done

image_is() {  # image_is IMAGE_FILE VOLUME_FILE: the image holds the volume's whole blocks
  local total
  total=$("$cli" info "$2" --json | python3 -c 'import json, sys; print(json.load(sys.stdin)["totalSectors"])')
  cp "$2" "$work/expected.bin"
  truncate -s $(((total + 62) / 63 * 32256)) "$work/expected.bin"
  cmp "$work/expected.bin" "$1" || fail "the image of $2 differs from its volume"
}
for name in fat16 fat32 ntfs; do
  "$cli" image "$work/$name.img" "$work/$name.qxi" >/dev/null
  image_is "$work/$name.qxi" "$work/$name.img"
  cmp <("$cli" scan "$work/$name.img" --json) <("$cli" scan "$work/$name.qxi" --json) || fail "$name: the scan of the image differs"
  diff <(fls -r -p "$work/$name.img") <(fls -r -p "$work/$name.qxi") >/dev/null || fail "$name: fls reads the image otherwise"
done
ln "$work/fat16.img" "$work/same.qxi"
expect 1 "$cli" image "$work/fat16.img" "$work/same.qxi"
grep -q "is the source itself" "$work/last.err" || fail "unclear refusal: $(cat "$work/last.err")"

attach loop "$work/ntfs.img"
"$cli" image "$loop" "$work/loop.qxi" >/dev/null
image_is "$work/loop.qxi" "$work/ntfs.img"
mkdir "$work/mnt"
ntfs-3g "$loop" "$work/mnt"
mounts+=("$work/mnt")
expect 1 "$cli" image "$loop" "$work/mnt/out.qxi"
grep -q "would be written onto the source" "$work/last.err" || fail "unclear refusal: $(cat "$work/last.err")"
[[ ! -e $work/mnt/out.qxi ]] || fail "an image file was created on the source"
echo "source_unchanged: $jobs jobs left their sources as they were; images are exact"
