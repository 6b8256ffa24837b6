#!/usr/bin/env bash
# Renders the README's pictures of the desktop program on a real X server (Xvfb, xcb platform):
# the main window after a scan, the progress dialog of a job, and the process log; the result
# views after a FAT scan and after a lost-file search, and the Find dialog; the wizard's file-type
# and image pages, and the start-up wizard under the tip of the day.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (pictures go to docs/screenshots/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
display=${RESTORA_XVFB_DISPLAY:-:91}
[ -f "$build/build.ninja" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" shell_screenshots views_screenshots page-screenshots restora
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
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/pages/page-screenshots" "$top/docs/screenshots"

# The program itself, started with the wizard-at-start-up setting in a settings folder of its own.
home=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; rm -rf "$home"' EXIT
chmod 700 "$home"
mkdir -p "$home/config/Ferrolin Restora 1.0"
printf '[QX_Restora_Wizard]\nQX_Restora_StartUp=1\n' >"$home/config/Ferrolin Restora 1.0/Ferrolin Restora.ini"
DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
  "$build/shell/restora" >/dev/null 2>&1 &
app=$!
for _ in $(seq 100); do
  xwininfo -display "$display" -root -tree | grep -q '"Tip of the Day"' && break
  sleep 0.1
done
sleep 1
geometry=$(xwininfo -display "$display" -root -tree | sed -n 's/.*"Ferrolin Restora [0-9.]*": .*  \([0-9]*x[0-9]*\)+.*/\1/p' | head -n 1)
import -display "$display" -window root -crop "${geometry}+0+0" +repage "$top/docs/screenshots/startup-wizard-tip.png"
kill "$app"
ls -l "$top/docs/screenshots"
