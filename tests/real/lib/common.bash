# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end tests: the arguments and folders, skipping (exit 77, which CTest
# reports as skipped), a work folder removed at the end together with what was mounted or
# attached below it (loops), and a check of a command's exit code.
set -euo pipefail
cli=$(realpath "${1:?usage: $0 PATH/TO/restora-cli}")
src=${RESTORA_SOURCE_DIR:?}
volumes=${RESTORA_VOLUMES:?}
corpus=${RESTORA_CORPUS_DIR:-}
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
# The volumes of the usual layouts, each holding the deleted files of written.tsv (build_volumes.sh).
layouts="fat16-r512 fat16-r1024 fat16-r2048 fat32-moved-root fat16-s4096 fat32-s4096 ntfs-s512 ntfs-s4096"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
need() { local tool; for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done; }
need_root() { [[ $(id -u) == 0 ]] || skip "not root"; }
need_corpus() { [[ -n $corpus && -d $corpus ]] || skip "no sample images (set RESTORA_CORPUS_DIR)"; }
need_volumes() { [[ -f $volumes/ready ]] || skip "the volumes of the real tools were not built"; }

work=$(mktemp -d)
loops=()
mounts=()
cleanup() {
  local item
  for item in "${mounts[@]}"; do mountpoint -q "$item" && { umount "$item" || umount -l "$item"; }; done
  for item in "${loops[@]}"; do losetup -d "$item"; done
  rm -rf "$work"
}
trap cleanup EXIT

# expect CODE COMMAND...: runs the command, its output in $work/last.out and .err.
expect() {
  local code=$1 got=0
  shift
  "$@" >"$work/last.out" 2>"$work/last.err" || got=$?
  [[ $got == "$code" ]] || { cat "$work/last.out" "$work/last.err" >&2; fail "exit $got instead of $code: $*"; }
}

# listing IMAGE [OPTIONS]: the scan of IMAGE agrees with The Sleuth Kit (lib/check.py listing).
listing() { python3 "$src/tests/real/lib/check.py" listing "$cli" "$@" || fail "$1 differs from The Sleuth Kit"; }
