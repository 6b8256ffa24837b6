#!/usr/bin/env bash
# The copy of a 1 GiB found file by the recovery writer against cp of the same bytes, both from
# a warm page cache into the same file system (cat, which reads and writes as the writer does,
# for reference; cp may copy inside the kernel). Prints hyperfine's comparison and checks that the
# copy is byte-exact. Not part of the test command.
# usage: bench/recover_carved.sh [SIZE_MIB]      (default 1024; work files go to $BENCH_DIR or /tmp)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${1:-1024}
build=${BENCH_BUILD:-$top/build-bench}
command -v hyperfine >/dev/null || { echo "SKIPPED: hyperfine is missing"; exit 0; }

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 recover_copy >/dev/null

work=$(mktemp -d -p "${BENCH_DIR:-/tmp}" restora-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/disk.img"
cat "$work/disk.img" >/dev/null  # warm the page cache

hyperfine -N --warmup 1 --runs "${RUNS:-5}" \
  --prepare "bash -c 'rm -rf $work/out $work/cp.img && mkdir $work/out && sync'" \
  -n "restora recover_copy" "$build/bench/recover_copy $work/disk.img $work/out" \
  -n "cp" "cp $work/disk.img $work/cp.img" \
  -n "cat (read and write, as the writer does)" "bash -c 'cat $work/disk.img > $work/cp.img'"

rm -rf "$work/out" && mkdir "$work/out"
"$build/bench/recover_copy" "$work/disk.img" "$work/out"
cmp "$work/disk.img" "$work/out/#/0.bin" && echo "the copy is byte-exact"
