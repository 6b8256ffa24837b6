#!/usr/bin/env bash
# Runs every fuzz harness for a while (default 600 seconds each) on a copy of its seeds.
# usage: scripts/fuzz.sh [SECONDS] [HARNESS ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
build="$top/build-fuzz"
CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRESTORA_FUZZ=ON \
  -DRESTORA_SANITIZE=ON -DRESTORA_BUILD_TESTS=OFF >/dev/null
ninja -C "$build"
harnesses=("$@")
[ "${#harnesses[@]}" -gt 0 ] || mapfile -t harnesses < <(cd "$top/fuzz" && ls Fuzz*.cpp | sed 's/\.cpp$//')
for harness in "${harnesses[@]}"; do
  corpus="$build/fuzz/$harness.long"
  mkdir -p "$corpus"
  cp -rn "$top/fuzz/seeds/$harness/." "$corpus/" 2>/dev/null || true
  echo "== $harness for ${seconds}s"
  "$build/fuzz/$harness" -max_total_time="$seconds" -max_len=1100000 -rss_limit_mb=4096 -print_final_stats=1 "$corpus" 2>&1 |
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
done
