#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private X server: starts Xvfb on the given display number, runs the
# command there with the xcb platform, and ends that Xvfb by its process id. Exits 77 (skipped)
# when Xvfb is missing or does not start. Every desktop test on a real X server goes through here.
# Usage: with-xvfb.sh DISPLAY_NUMBER COMMAND [ARGS...]
set -uo pipefail
display=:$1
shift
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed"; exit 77; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  kill -0 "$server" 2>/dev/null || { echo "SKIPPED: Xvfb did not start on $display"; exit 77; }
  sleep 0.1
done
# The xcb platform's D-Bus and font libraries keep buffers until the process ends; a sanitizer
# build would report them as leaks of ours.
suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp
LSAN_OPTIONS="suppressions=$suppressions${LSAN_OPTIONS:+:$LSAN_OPTIONS}" DISPLAY=$display QT_QPA_PLATFORM=xcb "$@"
