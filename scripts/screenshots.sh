#!/usr/bin/env bash
# Renders the README's pictures of the desktop program on a real X server (Xvfb, xcb platform):
# the main window after a scan, the progress dialog of a job, the process log, and the wizard's
# file-type and image pages.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (pictures go to docs/screenshots/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
display=${RESTORA_XVFB_DISPLAY:-:91}
[ -f "$build/build.ninja" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" shell_screenshots page-screenshots
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
mkdir -p "$top/docs/screenshots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/shell/shell_screenshots" "$top/docs/screenshots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/pages/page-screenshots" "$top/docs/screenshots"
ls -l "$top/docs/screenshots"
