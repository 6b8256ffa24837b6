#!/usr/bin/env bash
# Sets everything up on a fresh machine: installs what is missing, builds, and runs the main job
# on a built-in sample volume.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRESTORA_SANITIZE=OFF -DRESTORA_BUILD_TESTS=OFF >/dev/null
ninja -C "$top/build"
"$top/scripts/sample.sh" "$top/build/cli/restora-cli" "$top/build/sample"
