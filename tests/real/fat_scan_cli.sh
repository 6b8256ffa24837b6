#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# restora-cli scan on FAT volumes: exit codes and messages, the JSON of an empty volume, the
# progress line on a terminal only, and Ctrl+C during a long scan (exit 130, the tree so far).
# usage: fat_scan_cli.sh PATH/TO/restora-cli
set -euo pipefail
cli=$1
source_dir=${RESTORA_SOURCE_DIR:?}

for tool in mkfs.fat python3 script; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done

work=$(mktemp -d)
scan_pid=
cleanup() {
  if [[ -n $scan_pid ]]; then kill "$scan_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "fat_scan_cli: $*" >&2
  exit 1
}

expect_failure() {  # expect_failure "MESSAGE PART" ARGS...
  local message=$1 status=0
  shift
  "$cli" scan "$@" >"$work/out" 2>"$work/err" || status=$?
  [[ $status == 1 ]] || fail "scan $* exited $status, expected 1"
  [[ ! -s $work/out ]] || fail "scan $* printed a listing"
  grep -q -- "$message" "$work/err" || fail "scan $* said: $(cat "$work/err")"
}

# Sources that cannot be opened or recognised.
expect_failure "cannot open" "$work/missing.img"
expect_failure "is a directory" "$work"
head -c 1048576 /dev/zero >"$work/zeros.img"
expect_failure "not a FAT16, FAT32 or NTFS volume" "$work/zeros.img"
expect_failure "usage" 
mkfs.fat -F 16 -s 4 -M 0xF8 -C "$work/empty16.img" 9216 >/dev/null
expect_failure "unknown option --bogus" "$work/empty16.img" --bogus

# An empty volume: a bare root, completed.
"$cli" scan "$work/empty16.img" --json >"$work/empty.json"
python3 - "$work/empty.json" <<'PY'
import json, sys
document = json.load(open(sys.argv[1]))
assert set(document) == {"kind", "totalSectors", "completed", "root"}, document.keys()
assert document["kind"] == "Fat16" and document["completed"] is True, document
assert document["totalSectors"] == 9216 * 2, document["totalSectors"]
root = document["root"]
assert root == {"name": ".", "status": 3, "size": 0, "id": 0, "parentId": 0, "attributes": 0, "created": 0,
                "modified": 0, "carveSource": 0, "checked": 0, "overwritten": None, "firstCluster": 1,
                "children": []}, root
PY
[[ -z $("$cli" scan "$work/empty16.img") ]] || fail "--list of an empty volume printed lines"

# The progress line goes to a terminal only.
python3 "$source_dir/bench/fat_make_big_folder.py" "$work/small.img" 2000
"$cli" scan "$work/small.img" >/dev/null 2>"$work/err"
[[ ! -s $work/err ]] || fail "progress written to a file: $(head -c 200 "$work/err")"
script -qec "\"$cli\" scan \"$work/small.img\" >/dev/null" /dev/null >"$work/tty" </dev/null
grep -q "scanning 0 / 2000" "$work/tty" || fail "no progress line on a terminal: $(head -c 200 "$work/tty" | cat -v)"

# Ctrl+C: the walk stops before its next child, the tree so far is printed, exit code 130. The
# folder is made large enough that a quarter of a full scan is long after the start.
count=100000
while :; do
  python3 "$source_dir/bench/fat_make_big_folder.py" "$work/big.img" "$count"
  start=$(date +%s%N)
  "$cli" scan "$work/big.img" --json >/dev/null
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  if ((elapsed_ms >= 800 || count >= 800000)); then break; fi
  count=$((count * 2))
done
"$cli" scan "$work/big.img" --json >"$work/stopped.json" &
scan_pid=$!
delay_ms=$((elapsed_ms / 5))
sleep "$((delay_ms / 1000)).$(printf '%03d' $((delay_ms % 1000)))"
kill -INT "$scan_pid"
status=0
wait "$scan_pid" || status=$?
scan_pid=
[[ $status == 130 ]] || fail "interrupted scan exited $status, expected 130"
python3 - "$work/stopped.json" <<'PY'
import json, sys
document = json.load(open(sys.argv[1]))
assert document["completed"] is False, "an interrupted scan says it completed"
assert document["root"]["status"] == 3
PY
echo "fat_scan_cli: exit codes, JSON, progress and Ctrl+C behave"
