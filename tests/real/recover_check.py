#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the files restora-cli recover saved below DIR/# against the manifest of what was
written and against icat of The Sleuth Kit for the same entry.

Names differ between the manifest, the saved tree and fls: a deleted 8.3 name loses its first
character ("X" here, "_" in fls). Entries are therefore matched by a key: each path component in
lower case without its first character.

usage: recover_check.py IMAGE MANIFEST SAVE_FOLDER [--kind NAME=GLOB[|GLOB…][@REGEX] ...]
                         [--unreachable GLOB ...] [--tsk-image IMAGE2]

Every deleted manifest file with content must be saved byte-exactly (same SHA-256 as written
and as icat gives for its entry), except those matching an --unreachable pattern, which must
not come out right (they document a limit of the recovery method). Every saved file must match
the manifest (a live file inside a deleted folder is saved too). Prints one line per file and a
count per --kind; with @REGEX, the $DATA lines of istat for each file of the kind must match
it (NTFS: "Resident", "Compressed", a stream's name). Exits 1 on any difference.
"""
import argparse
import fnmatch
import hashlib
import os
import re
import subprocess
import sys


def key(path):
    return "/".join(part.lower()[1:] for part in path.split("/"))


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def fls_entries(image):
    """key -> (inode, deleted) from fls -r -p; a deleted entry wins over a live one. fls does not
    always descend into a deleted folder; its content is then listed from the folder's inode."""
    entries = {}
    pending = [("", None)]
    listed = set()
    while pending:
        prefix, inode_of_folder = pending.pop()
        command = ["fls", "-r", "-p", image] + ([inode_of_folder] if inode_of_folder else [])
        out = subprocess.run(command, capture_output=True, check=True).stdout
        for line in out.decode("utf-8", "replace").splitlines():
            head, _, path = line.partition("\t")
            fields = head.split()
            if not fields or path.startswith("$OrphanFiles") or ":" in path:
                continue
            path = prefix + path
            deleted = len(fields) > 2 and fields[1] == "*"
            inode = fields[-1].rstrip(":").split("-")[0]
            if inode == "0":
                continue  # a name from folder-index slack, with no record behind it
            k = key(path)
            listed.add(k)
            if fields[0].endswith("/d") and deleted and len(listed) < 100000:
                pending.append((path + "/", inode))
            if not fields[0].endswith("/r"):
                continue
            if k not in entries or (deleted and not entries[k][1]):
                entries[k] = (inode, deleted)
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("manifest")
    parser.add_argument("save_folder")
    parser.add_argument("--kind", action="append", default=[])
    parser.add_argument("--unreachable", action="append", default=[])
    parser.add_argument("--tsk-image", help="the image fls and icat read, when not IMAGE itself")
    args = parser.parse_args()

    manifest = {}
    for line in open(args.manifest, encoding="utf-8"):
        state, size, digest, path = line.rstrip("\n").split("\t")
        if ":" in path:
            continue  # a named stream: the entry saves the first data attribute with content
        manifest[key(path)] = (state, int(size), digest, path)

    saved = {}
    for folder, _, files in os.walk(args.save_folder):
        for name in files:
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, args.save_folder)
            with open(full, "rb") as f:
                saved[key(rel)] = (rel, sha256(f.read()))

    tsk_image = args.tsk_image or args.image
    fls = fls_entries(tsk_image)
    failures = 0
    exact = []
    for k, (state, size, digest, path) in sorted(manifest.items(), key=lambda item: item[1][3]):
        if state != "deleted" or size == 0:
            continue
        unreachable = any(fnmatch.fnmatch(path, pattern) for pattern in args.unreachable)
        ours = saved.get(k)
        if k not in fls:
            print(f"NO-FLS-ENTRY {path}")
            failures += 1
            continue
        tsk = sha256(subprocess.run(["icat", "-r", tsk_image, fls[k][0]], capture_output=True, check=True).stdout)
        good = ours is not None and ours[1] == digest and tsk == digest
        if unreachable:
            # Read the same way as icat reads it (consecutive clusters), which is not how it was written.
            same = ours is not None and ours[1] == tsk
            wrong = ours is None or ours[1] != digest
            print(f"{'out-of-reach' if wrong else 'UNEXPECTED-OK'} {path}{' (as icat reads it)' if same else ''}")
            failures += not wrong
        elif good:
            print(f"ok {path}")
            exact.append(path)
        else:
            print(f"MISMATCH {path}: manifest {digest}, ours {ours[1] if ours else 'missing'}, icat {tsk}")
            failures += 1

    for k, (rel, digest) in sorted(saved.items()):
        entry = manifest.get(k)
        if entry is not None and any(fnmatch.fnmatch(entry[3], pattern) for pattern in args.unreachable):
            continue
        if entry is None or entry[2] != digest:
            print(f"UNEXPECTED saved file {rel}")
            failures += 1

    print(f"{len(exact)} deleted files recovered byte-exactly (manifest and icat agree)")
    for spec in args.kind:
        name, _, rest = spec.partition("=")
        patterns, _, marker = rest.partition("@")
        members = [path for path in exact if any(fnmatch.fnmatch(path, p) for p in patterns.split("|"))]
        print(f"  {name}: {len(members)}")
        for path in members if marker else []:
            # The kind is checked on the volume: istat's $DATA line of the record must say so.
            report = subprocess.run(["istat", tsk_image, fls[key(path)][0]], capture_output=True).stdout
            lines = [l for l in report.decode("utf-8", "replace").splitlines() if l.startswith("Type: $DATA")]
            if not re.search(marker, "\n".join(lines)):
                print(f"NOT-OF-KIND {name}: {path}: {lines}")
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
