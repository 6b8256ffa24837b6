#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors) and runs the whole suite under CTest, then
# builds the fuzz harnesses with clang and gives each a short run on its seeds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

fuzz="$top/build-fuzz"
CXX=clang++ cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRESTORA_FUZZ=ON \
  -DRESTORA_SANITIZE=ON -DRESTORA_BUILD_TESTS=OFF >/dev/null
ninja -C "$fuzz"
(cd "$fuzz" && ctest --output-on-failure -L fuzz-smoke)

build="$top/build-test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRESTORA_SANITIZE=ON -DRESTORA_WERROR=ON >/dev/null
ninja -C "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
