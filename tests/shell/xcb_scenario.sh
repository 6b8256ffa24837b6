#!/usr/bin/env bash
# Runs the desktop tests on a real X server: starts Xvfb on its own display, runs the tests with
# the xcb platform, and ends that Xvfb by its process id.
set -u
tests=$1
display=${RESTORA_XVFB_DISPLAY:-:91}
command -v Xvfb >/dev/null || { echo "Xvfb is not installed: skipped"; exit 77; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start on $display"; exit 1; }
  sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$tests"
