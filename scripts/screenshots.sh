#!/usr/bin/env bash
# Renders the README's pictures of the desktop program on a private X server (Xvfb, xcb platform,
# through tests/shell/with-xvfb.sh): the main window, the result views, Find, the progress dialog,
# the process log and the wizard's pages (tools/screenshots/Screenshots.cpp; the drive pages on loop
# devices through scripts/wizard-screenshots.sh, as root), and the start-up wizard under the tip of the day.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (pictures go to docs/screenshots/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")
shots=$top/docs/screenshots
if [ -z "${RESTORA_ON_XVFB:-}" ]; then
  [ -f "$build/build.ninja" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C "$build" screenshots restora
  display=${RESTORA_XVFB_DISPLAY:-:91}
  RESTORA_ON_XVFB=1 exec "$top/tests/shell/with-xvfb.sh" "${display#:}" "$0" "$build"
fi
mkdir -p "$shots"
# The wizard's drive pages show loop devices, which only root can attach.
if [ "$(id -u)" -eq 0 ]; then
  "$top/scripts/wizard-screenshots.sh" "$build" "$DISPLAY" >/dev/null
else
  "$build/tools/screenshots/screenshots" "$shots"
  echo "not root: the wizard's drive pages (scripts/wizard-screenshots.sh) are left as they are"
fi

# The program itself, started with the wizard-at-start-up setting in a settings folder of its own.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chmod 700 "$home"
mkdir -p "$home/config/Ferrolin Restora 1.0"
printf '[QX_Restora_Wizard]\nQX_Restora_StartUp=1\n' >"$home/config/Ferrolin Restora 1.0/Ferrolin Restora.ini"
XDG_RUNTIME_DIR=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data "$build/shell/restora" >/dev/null 2>&1 &
app=$!
for _ in $(seq 100); do
  xwininfo -root -tree | grep -q '"Tip of the Day"' && break
  sleep 0.1
done
sleep 1
geometry=$(xwininfo -root -tree | sed -n 's/.*"Ferrolin Restora [0-9.]*": .*  \([0-9]*x[0-9]*\)+.*/\1/p' | head -n 1)
import -window root -crop "${geometry}+0+0" +repage "$shots/startup-wizard-tip.png"
kill "$app"
ls -l "$shots"
