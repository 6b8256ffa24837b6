# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares `restora-cli scan --json` of a FAT volume with The Sleuth Kit's `fls -r -p -l`
listings of it (all entries, and deleted ones), and with the manifest of make-fat-volume.sh.

What differs by design is not reported: a deleted 8.3 name shows "X" as its first letter where fls
shows "_", and 8.3 names keep their stored case (so 8.3 names are compared without their first
letter and case); empty files and folders that hold nothing listed are not listed; fls's virtual
entries and the volume label are no files.

usage: fat_vs_fls.py SCAN.json FLS_ALL FLS_DELETED [MANIFEST] [--extra-ok PATH ...]
Exits 1 with one line per difference."""
import collections
import json
import re
import sys

EIGHT_THREE = re.compile(r"^[^. ]{1,8}(\.[^. ]{1,3})?$")
FLS_LINE = re.compile(r"^\S/(\S) (\* )?[0-9-]+(\([^)]*\))?:\t(.*)$")


def canon(path):
    return "/".join("?" + p[1:].upper() if EIGHT_THREE.match(p) else p for p in path.split("/"))


def read_fls(path):
    """(path, is_folder, size) of every real entry."""
    entries = []
    for line in open(path, encoding="utf-8", errors="replace"):
        match = FLS_LINE.match(line.rstrip("\n"))
        if not match:
            continue
        fields = match.group(4).split("\t")
        name = fields[0]
        if match.group(1) in "vV" or name.startswith("$OrphanFiles") or "(Volume Label Entry)" in name:
            continue
        entries.append((name, match.group(1) == "d", int(fields[5]) if len(fields) > 5 else None))
    return entries


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--extra-ok=")]
    extra_ok = {canon(a.split("=", 1)[1]) for a in sys.argv[1:] if a.startswith("--extra-ok=")}
    document = json.load(open(args[0], encoding="utf-8"))
    problems = [] if document["kind"] in ("Fat16", "Fat32") and document["completed"] else ["scan: not a completed FAT scan"]
    files, folders = collections.Counter(), {}
    stack = [("", document["root"])]
    while stack:
        prefix, node = stack.pop()
        for child in node["children"]:
            path = prefix + child["name"]
            if child["status"] & 2:
                folders[canon(path)] = child
                if not child["children"]:
                    problems.append(f"scan: empty folder {path} left in the tree")
            else:
                files[(canon(path), child["size"])] += 1
            stack.append((path + "/", child))
    every, deleted = read_fls(args[1]), read_fls(args[2])
    fls_files = collections.Counter((canon(p), s) for p, d, s in deleted if not d and s)
    fls_deleted_folders = {canon(p) for p, d, _ in deleted if d}
    fls_folders = {canon(p) for p, d, _ in every if d}
    for (path, size), count in (files - fls_files).items():
        if path not in extra_ok:
            problems.append(f"only the scan lists file {path} ({size} bytes) x{count}")
    for (path, size), count in (fls_files - files).items():
        problems.append(f"only fls lists deleted file {path} ({size} bytes) x{count}")
    for path, node in folders.items():
        if path not in (fls_deleted_folders if node["status"] == 2 else fls_folders | fls_deleted_folders):
            problems.append(f"only the scan lists folder {path} (status {node['status']})")
    if len(args) > 3:
        for line in open(args[3], encoding="utf-8"):
            status, size, _, path = line.rstrip("\n").split("\t")
            listed = files[(canon(path), int(size))] > 0
            if listed != (status == "deleted" and int(size) > 0):
                problems.append(f"manifest: {status} {path} ({size} bytes) {'listed' if listed else 'not listed'}")
    for problem in problems:
        print(problem)
    print(f"{document['kind']}: {sum(files.values())} files, {len(folders)} folders listed; {len(problems)} differences")
    return 1 if problems or (len(args) > 3 and not files) else 0


if __name__ == "__main__":
    sys.exit(main())
