#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Imaging a page-cached 2 GiB FAT32 volume with restora-cli image against dd bs=1M of the same
# file. Not part of ctest; run with a release build:
#   bench/image_vs_dd.sh build-release/cli/restora-cli [WORK_FOLDER]
# The work folder (default: a new one below /tmp) needs about 6 GiB free.
set -euo pipefail
cli=$(realpath "$1")
for tool in mkfs.fat hyperfine; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
done
work=$(mktemp -d "${2:-/tmp}/image-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Random data everywhere, so that no read finds a hole; mkfs then writes the file system over it.
dd if=/dev/urandom of="$work/volume.img" bs=1M count=2048 status=none
mkfs.fat -F 32 "$work/volume.img" >/dev/null
cat "$work/volume.img" >/dev/null  # into the page cache

hyperfine --warmup 1 --runs 5 \
  --command-name "dd bs=1M" "dd if=$work/volume.img of=$work/out.dd bs=1M status=none" \
  --command-name "restora-cli image" "$cli image $work/volume.img $work/out.qxi"
# mkfs.fat rounds the volume down to whole tracks of 63 sectors, so the image is T sectors long.
total=$(od -An -t u4 -j 32 -N 4 "$work/volume.img" | tr -d ' ')
[ "$(stat -c %s "$work/out.qxi")" -eq $(( (total + 62) / 63 * 32256 )) ] && \
  cmp -n "$(stat -c %s "$work/out.qxi")" "$work/volume.img" "$work/out.qxi" && echo "the image holds the volume's bytes"
