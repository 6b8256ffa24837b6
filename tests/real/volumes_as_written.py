#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks one volume against The Sleuth Kit and against the files written to it.

usage: volumes_as_written.py SCAN.json FLS.txt SAVED_DIR SOURCE_DIR MTIME OVERWRITTEN

- every deleted regular file of size > 0 in FLS.txt (`fls -r -d -p -l`) is a deleted file of
  the scan with the same size; 8.3 names are compared without their first letter (fls shows "_"
  where the scan shows "x") and without case;
- every deleted file of the scan that has a namesake in SOURCE_DIR was saved in SAVED_DIR with
  the written bytes and the modification time MTIME (seconds), when OVERWRITTEN is 0;
- an orphan of fls ("$OrphanFiles/...") is found by its name, or, named by its 8.3 alias, by
  its size;
- every deleted file's "overwritten" is OVERWRITTEN ("100": only files larger than 4 KiB, whose
  data cannot sit in their record, are held to it; "-": not checked, nor the saved files).
Exits 1 with one line per difference."""

import hashlib
import json
import os
import re
import sys

EIGHT_THREE = re.compile(r"^[^. ]{1,8}(\.[^. ]{1,3})?$")


def canon(path):
    parts = path.split("/")
    name = parts[-1]
    parts[-1] = "?" + name[1:].upper() if EIGHT_THREE.match(name) else name
    return "/".join(parts)


def sha(path):
    with open(path, "rb") as handle:
        return hashlib.sha256(handle.read()).hexdigest()


def main():
    scan_path, fls_path, saved, source, mtime, overwritten = sys.argv[1:7]
    problems = []
    ours = {}  # canon path -> (path, node)
    stack = [("", json.load(open(scan_path, encoding="utf-8"))["root"])]
    while stack:
        prefix, node = stack.pop()
        for child in node["children"]:
            path = prefix + child["name"]
            if child["status"] == 0:
                ours[canon(path)] = (path, child)
            stack.append((path + "/", child))

    for line in open(fls_path, encoding="utf-8"):
        head, _, rest = line.rstrip("\n").partition("\t")
        fields = rest.split("\t")
        if not re.match(r"^./r \*", head) or len(fields) < 6 or int(fields[5]) == 0:
            continue
        path, size = fields[0], int(fields[5])
        if path.startswith("$OrphanFiles/"):
            # fls may name an orphan by its 8.3 alias: any listed file of its size will do.
            wanted = canon(path.split("/")[-1])
            found = [key for key in ours if canon(key.split("/")[-1]) == wanted] or \
                [key for key in ours if ours[key][1]["size"] == int(fields[5])]
        else:
            found = [canon(path)] if canon(path) in ours else []
        if not found:
            problems.append(f"fls lists {path} ({size} bytes), the scan does not")
        elif ours[found[0]][1]["size"] != size:
            problems.append(f"{path}: size {ours[found[0]][1]['size']}, fls says {size}")

    for key, (path, node) in sorted(ours.items()):
        value = node.get("overwritten")
        if overwritten == "0" and value != 0:
            problems.append(f"{path}: overwritten {value}, expected 0")
        if overwritten == "100" and node["size"] > 4096 and value != 100:
            problems.append(f"{path}: overwritten {value}, expected 100")
        if overwritten != "0":
            continue
        name = os.path.basename(path)
        written = [os.path.join(source, n) for n in os.listdir(source) if canon(n) == canon(name)]
        if not written:
            continue
        copy = os.path.join(saved, path)
        if not os.path.isfile(copy) or sha(copy) != sha(written[0]):
            problems.append(f"{path}: not saved with the written bytes")
        elif int(os.stat(copy).st_mtime) != int(mtime):
            problems.append(f"{path}: modification time {int(os.stat(copy).st_mtime)}, written {mtime}")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
