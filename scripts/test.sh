#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors) and runs the whole suite under CTest, then
# builds the fuzz harnesses with clang and gives each a short run on its seeds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

# Rebuilds of the same sources (another clone, a second run) come from the compiler cache; paths
# are taken relative to the clone's parent, so clones in different folders share it.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$(dirname "$top")" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

fuzz="$top/build-fuzz"
CXX=clang++ cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRESTORA_FUZZ=ON \
  -DRESTORA_SANITIZE=ON -DRESTORA_BUILD_TESTS=OFF -DRESTORA_BUILD_GUI=OFF "${launcher[@]}" >/dev/null
ninja -C "$fuzz"
(cd "$fuzz" && ctest --output-on-failure -L fuzz-smoke)

build="$top/build-test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRESTORA_SANITIZE=ON -DRESTORA_WERROR=ON \
  "${launcher[@]}" >/dev/null
ninja -C "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
