#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a wizard test (TESTS [FUNCTION...]) on a real X server: Xvfb on its own display
# (RESTORA_XVFB_DISPLAY, :93 unless set), the xcb platform, then the server is ended by its PID.
set -euo pipefail
tests=$1
shift
display=${RESTORA_XVFB_DISPLAY:-:93}
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is missing"; exit 77; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  kill -0 "$server" 2>/dev/null || { echo "SKIPPED: Xvfb could not start on $display"; exit 77; }
  sleep 0.1
done
# The xcb platform's D-Bus connection keeps a buffer of libdbus to the end; in a sanitizer build
# that is no leak of ours.
suppressions=$(mktemp)
trap 'rm -f "$suppressions"; kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
echo "leak:libdbus-1.so" >"$suppressions"
LSAN_OPTIONS="suppressions=$suppressions${LSAN_OPTIONS:+:$LSAN_OPTIONS}" DISPLAY=$display QT_QPA_PLATFORM=xcb "$tests" "$@"
