#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The pictures of tools/screenshots/Screenshots.cpp under Xvfb for docs/screenshots, with the wizard's
# drive trees of loop devices made here (FAT32, NTFS, and a disk with two partitions).
# Needs root for the loop devices. Usage: scripts/wizard-screenshots.sh [BUILD_DIR] [DISPLAY]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
display=${2:-:93}
[ "$(id -u)" -eq 0 ] || { echo "needs root to attach loop devices"; exit 1; }
work=$(mktemp -d)
loops=()
nodes=()
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  for node in "${nodes[@]}"; do rm -f "$node"; done
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
truncate -s 256M photos.img && mkfs.fat -F 32 -n PHOTOS photos.img >/dev/null
truncate -s 600M documents.img && mkntfs -F -Q -q -L Documents documents.img 2>/dev/null
truncate -s 2G camera-card.img
printf 'label: dos\nstart=2048, size=1048576, type=c\nstart=1050624, type=7\n' | sfdisk -q camera-card.img
for image in photos.img documents.img; do loops+=("$(losetup --find --show "$image")"); done
card=$(losetup -P --find --show camera-card.img); loops+=("$card")
name=${card#/dev/}
[ -e "/sys/class/block/$name/${name}p1" ] || partx -a "$card"
for part in 1 2; do
  if [ ! -e "/dev/${name}p$part" ]; then
    IFS=: read -r major minor <"/sys/class/block/$name/${name}p$part/dev"
    mknod "/dev/${name}p$part" b "$major" "$minor"; nodes+=("/dev/${name}p$part")
  fi
done
mkfs.fat -F 32 -n CARD "/dev/${name}p1" >/dev/null
mkntfs -F -Q -q -L Archive "/dev/${name}p2" 2>/dev/null

ninja -C "$build" screenshots >/dev/null
# A server already running on the display (scripts/screenshots.sh) is used as it is.
if [ ! -S "/tmp/.X11-unix/X${display#:}" ]; then
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  server=$!
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi
mkdir -p "$root/docs/screenshots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tools/screenshots/screenshots" "$root/docs/screenshots" "${loops[@]}"
ls -l "$root/docs/screenshots"
