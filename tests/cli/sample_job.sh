#!/usr/bin/env bash
# The README's main job on its built-in sample runs through and recovers every deleted file.
set -euo pipefail
cli=${1:?usage: sample_job.sh PATH/TO/restora-cli}
command -v mkfs.fat >/dev/null && command -v mcopy >/dev/null || { echo "SKIPPED: mkfs.fat or mtools missing"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "${RESTORA_SOURCE_DIR:?}/scripts/sample.sh" "$cli" "$work" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
grep -q "all 3 deleted files recovered byte for byte" "$work/log"
echo "sample job: passed"
