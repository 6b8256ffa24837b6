#!/usr/bin/env bash
# Renders the README's pictures of the desktop program on a real X server (Xvfb, xcb platform):
# the main window after a scan, the progress dialog of a job, and the process log; the result
# views after a FAT scan and after a lost-file search, and the Find dialog.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (pictures go to docs/screenshots/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
display=${RESTORA_XVFB_DISPLAY:-:91}
[ -f "$build/build.ninja" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" shell_screenshots views_screenshots
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
mkdir -p "$top/docs/screenshots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/shell/shell_screenshots" "$top/docs/screenshots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/views/views_screenshots" "$top/docs/screenshots"
# The wizard's pages with the drives of loop devices, which only root can attach.
if [ "$(id -u)" -eq 0 ]; then
  "$top/scripts/wizard-screenshots.sh" "$build" "$display" >/dev/null
else
  echo "not root: the wizard's pictures (scripts/wizard-screenshots.sh) are left as they are"
fi
ls -l "$top/docs/screenshots"
