#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli recover on FAT16 and FAT32 volumes made by mkfs.fat and mtools: every deleted file
# whose clusters are still in place comes back byte-exactly (SHA-256 as written and as icat
# reads the same entry), also from a block device. A second volume per width holds fragmented
# files: one inside a folder whose entry alone was marked deleted (its FAT chain is intact, so
# it is read along the chain) and one deleted outright (its chain is cleared and its clusters
# are not consecutive: out of reach of the method, as for icat).
set -euo pipefail
cli=$1
src=${RESTORA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in mkfs.fat mcopy mmd mdel fls icat python3 sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# mark_deleted IMAGE NAME11: sets the deletion mark on a root folder entry and nothing else, as
# a crude undelete tool or a crash can leave it: the FAT chains of its content stay.
mark_deleted() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
image, name = sys.argv[1], sys.argv[2].encode()
with open(image, "r+b") as f:
    boot = f.read(512)
    spc, rsvd, nfats, roots = boot[13], struct.unpack_from("<H", boot, 14)[0], boot[16], struct.unpack_from("<H", boot, 17)[0]
    fat16 = struct.unpack_from("<H", boot, 22)[0]
    fatsz = fat16 or struct.unpack_from("<I", boot, 36)[0]
    data = rsvd + nfats * fatsz + roots * 32 // 512
    if fat16:
        areas = [((rsvd + nfats * fatsz) * 512, roots * 32)]
    else:
        areas, cluster = [], struct.unpack_from("<I", boot, 44)[0]
        while 2 <= cluster < 0x0FFFFFF8 and len(areas) < 65536:
            areas.append(((data + (cluster - 2) * spc) * 512, spc * 512))
            f.seek(rsvd * 512 + 4 * cluster)
            cluster = struct.unpack("<I", f.read(4))[0] & 0x0FFFFFFF
    for start, length in areas:
        f.seek(start)
        area = f.read(length)
        for at in range(0, length, 32):
            if area[at:at + 11] == name and area[at + 11] & 0x10:
                f.seek(start + at)
                f.write(b"\xe5")
                sys.exit(0)
sys.exit("entry not found")
PY
}

# forget_free_hint IMAGE: on FAT32, marks the FSInfo sector's next-free hint unknown, so that
# mtools allocates first fit as on FAT16 instead of going on after the last cluster it took.
forget_free_hint() {
  python3 - "$1" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    boot = f.read(512)
    if struct.unpack_from("<H", boot, 22)[0] == 0:
        f.seek(struct.unpack_from("<H", boot, 48)[0] * 512 + 492)
        f.write(struct.pack("<I", 0xFFFFFFFF))
PY
}

# chain_volume WIDTH IMAGE MANIFEST: the volume with fragmented files, and its manifest.
chain_volume() {
  local width=$1 image=$2 manifest=$3 cluster format
  if [[ $width == 16 ]]; then format=(-F 16 -s 4); cluster=2048; else format=(-F 32 -s 1); cluster=512; fi
  mkfs.fat "${format[@]}" -M 0xF8 -C "$image" $((40 * 1024)) >/dev/null
  : >"$manifest"
  local name size
  for spec in XONE.BIN:1 XTWO.BIN:1 AONE.BIN:1 BTWO.BIN:1 CTRE.BIN:1 LOSTFRAG.BIN:3 KEPTFRAG.BIN:3; do
    name=${spec%%:*}
    size=$((${spec##*:} * cluster + (${spec##*:} > 1 ? 100 : 0)))
    yes "$width $name" | head -c "$size" >"$work/$name" || true
  done
  # First fit: a file written after a delete takes the freed cluster first, then the next free
  # ones after everything written so far. A deleted entry that is the folder's last one is
  # cleared by mdel, so GAP and LOSTFRAG sit before other entries.
  mcopy -i "$image" "$work/XONE.BIN" ::/XONE.BIN
  mcopy -i "$image" "$work/BTWO.BIN" ::/GAP.BIN
  mcopy -i "$image" "$work/XTWO.BIN" ::/XTWO.BIN
  mmd -i "$image" ::/KEEP
  mcopy -i "$image" "$work/AONE.BIN" ::/KEEP/AONE.BIN
  mcopy -i "$image" "$work/BTWO.BIN" ::/KEEP/BTWO.BIN
  mcopy -i "$image" "$work/CTRE.BIN" ::/KEEP/CTRE.BIN
  mdel -i "$image" ::/KEEP/BTWO.BIN
  forget_free_hint "$image"
  mcopy -i "$image" "$work/KEPTFRAG.BIN" ::/KEEP/KEPTFRAG.BIN  # BTWO's cluster, then after CTRE
  mdel -i "$image" ::/GAP.BIN
  forget_free_hint "$image"
  mcopy -i "$image" "$work/LOSTFRAG.BIN" ::/LOSTFRAG.BIN  # GAP's cluster, then after KEPTFRAG
  mdel -i "$image" ::/LOSTFRAG.BIN
  # The Sleuth Kit does not list a deleted folder whose clusters are still allocated; its
  # entries are read from the volume as it was just before the mark.
  cp "$image" "$image.unmarked"
  mark_deleted "$image" "KEEP       "
  for path in LOSTFRAG.BIN KEEP/AONE.BIN KEEP/CTRE.BIN KEEP/KEPTFRAG.BIN; do
    printf 'deleted\t%s\t%s\t%s\n' "$(stat -c %s "$work/${path#KEEP/}")" "$(sha256sum <"$work/${path#KEEP/}" | cut -d' ' -f1)" \
      "$path" >>"$manifest"
  done
}

status=0
for width in 16 32; do
  bash "$src/scripts/make-fat-volume.sh" "$width" "$work/fat$width.img" "$work/fat$width.tsv"
  mkdir "$work/out$width"
  "$cli" recover "$work/fat$width.img" --to "$work/out$width" >"$work/out$width.log"
  echo "== FAT$width volume made by mkfs.fat and mtools"
  python3 "$src/tests/real/recover_check.py" "$work/fat$width.img" "$work/fat$width.tsv" "$work/out$width/#" \
    --kind "in deleted folders=Old Projects/*|TRASH/*" | grep -v '^ok ' || status=1

  chain_volume "$width" "$work/chain$width.img" "$work/chain$width.tsv"
  mkdir "$work/chain-out$width"
  "$cli" recover "$work/chain$width.img" --to "$work/chain-out$width" >"$work/chain-out$width.log"
  echo "== FAT$width volume with fragmented files"
  python3 "$src/tests/real/recover_check.py" "$work/chain$width.img" "$work/chain$width.tsv" "$work/chain-out$width/#" \
    --tsk-image "$work/chain$width.img.unmarked" \
    --kind "fragmented, chain in the FAT=KEEP/KEPTFRAG.BIN" --unreachable "LOSTFRAG.BIN" || status=1
done

# The same volume read through a block device gives the same files.
if command -v losetup >/dev/null && [[ $(id -u) == 0 ]] && loop=$(losetup --find --show --read-only "$work/fat16.img" 2>/dev/null); then
  trap 'losetup -d "$loop"; rm -rf "$work"' EXIT
  mkdir "$work/out-device"
  "$cli" recover "$loop" --to "$work/out-device" >"$work/out-device.log"
  if ! diff -r "$work/out16" "$work/out-device" >/dev/null; then
    echo "recovering from $loop gave other files than from the image" >&2
    status=1
  fi
  echo "== the FAT16 volume through $loop gives the same files"
fi
exit $status
