#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), and runs the whole suite under CTest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build="$top/build-test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRESTORA_SANITIZE=ON -DRESTORA_WERROR=ON >/dev/null
ninja -C "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
