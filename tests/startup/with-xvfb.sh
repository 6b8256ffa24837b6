#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private X server on the given display number, which it
# starts before and stops after. Without Xvfb the command runs without a display.
# Usage: with-xvfb.sh DISPLAY_NUMBER COMMAND [ARGS...]
set -uo pipefail
display=:$1
shift
if ! command -v Xvfb >/dev/null; then
  unset DISPLAY
  exec "$@"
fi
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display "$@"
