#!/usr/bin/env bash
# Pictures of the wizard's file-type and image pages under a private X server, written to
# docs/screenshots/. Usage: scripts/page-screenshots.sh [BUILD_DIR] [DISPLAY_NUMBER]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
display=:${2:-94}
ninja -C "$build" page-screenshots >/dev/null
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/pages/page-screenshots" "$top/docs/screenshots"
ls "$top"/docs/screenshots/*-page.png
