#!/bin/bash
# Runs the views' X server scenario on its own Xvfb display, started here and ended by its PID.
# Usage: views_x11_scenario.sh SCENARIO_BINARY
set -u
binary=$1
display=:92
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 77; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb $display did not start"; exit 77; }
  sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$binary"
