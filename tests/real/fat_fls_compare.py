#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares `restora-cli scan --json` of a FAT volume with The Sleuth Kit's `fls -l` listings of
the same volume (and, for volumes made by scripts/make-fat-volume.sh, with its manifest).

Differences that follow from how the scan is specified are not reported:
- a deleted 8.3 name shows "X" as its first letter where fls shows "_" (or the original
  letter), and 8.3 names are shown as stored, without the lower-case flags that fls applies:
  8.3 names are compared without their first letter and without case;
- empty files (no first cluster) are not listed;
- folders that hold nothing listed are removed;
- fls's virtual entries ($MBR, $FAT1, $FAT2, $OrphanFiles and what lies below it) and the root's
  volume label are not files.
Exits 0 when the listings agree, 1 with one line per difference otherwise."""

import argparse
import collections
import json
import re
import struct
import sys

EIGHT_THREE = re.compile(r"^[^. ]{1,8}(\.[^. ]{1,3})?$")
NODE_KEYS = {"name", "status", "size", "id", "parentId", "attributes", "created", "modified",
             "carveSource", "checked", "overwritten", "firstCluster", "children"}
FLS_LINE = re.compile(r"^(\S)/(\S) (\* )?[0-9-]+(\([^)]*\))?:\t(.*)$")


def canon(path):
    parts = []
    for part in path.split("/"):
        parts.append("?" + part[1:].upper() if EIGHT_THREE.match(part) else part)
    return "/".join(parts)


def read_scan(path, problems):
    with open(path, encoding="utf-8") as handle:
        document = json.load(handle)
    if document.get("kind") not in ("Fat16", "Fat32"):
        problems.append(f"scan: kind is {document.get('kind')!r}")
    if document.get("completed") is not True:
        problems.append("scan: not completed")
    if not isinstance(document.get("totalSectors"), int) or document["totalSectors"] <= 0:
        problems.append("scan: no totalSectors")
    root = document["root"]
    if root["name"] != "." or root["status"] != 3 or root["firstCluster"] not in (1, 2):
        problems.append(f"scan: odd root {root['name']!r} {root['status']} {root['firstCluster']}")
    nodes = []  # (path, node)
    ids = set()
    stack = [("", root)]
    while stack:
        prefix, node = stack.pop()
        if set(node) != NODE_KEYS:
            problems.append(f"scan: node {prefix!r} has keys {sorted(node)}")
        for child in node["children"]:
            path = prefix + child["name"]
            if child["parentId"] != node["id"] or child["id"] in ids or child["id"] == 0:
                problems.append(f"scan: {path}: bad id {child['id']} / parentId {child['parentId']}")
            ids.add(child["id"])
            nodes.append((path, child))
            stack.append((path + "/", child))
    return document, nodes


def read_fls(path):
    """(path, is_folder, deleted, size) of every real entry of an `fls -r -p -l` listing."""
    entries = []
    with open(path, encoding="utf-8", errors="replace") as handle:
        for line in handle:
            line = line.rstrip("\n")
            match = FLS_LINE.match(line)
            if not match:
                continue
            kind, deleted, rest = match.group(2), match.group(3) is not None, match.group(5)
            fields = rest.split("\t")
            name = fields[0]
            if kind in ("v", "V") or name.startswith("$OrphanFiles") or "(Volume Label Entry)" in name:
                continue
            size = int(fields[5]) if len(fields) > 5 else None
            entries.append((name, kind == "d", deleted, size))
    return entries


def straddling_deletes(image_path, first_cluster):
    """Counts deleted long-named entries of the folder at first_cluster whose long-name run is cut
    by a cluster boundary: inside the run, and between the run and its short entry. Reads the
    volume's own geometry (root entry count and FAT size from the boot sector)."""
    with open(image_path, "rb") as image:
        boot = image.read(512)
        sectors_per_cluster = boot[13]
        reserved, fats, root_entries = struct.unpack_from("<HBH", boot, 14)
        fat_size = struct.unpack_from("<H", boot, 22)[0] or struct.unpack_from("<I", boot, 36)[0]
        fat16 = struct.unpack_from("<H", boot, 22)[0] != 0
        root_sectors = (root_entries * 32 + 511) // 512
        data_start = reserved + fats * fat_size + root_sectors
        cluster_bytes = sectors_per_cluster * 512
        image.seek(reserved * 512)
        fat = image.read(fat_size * 512)
        chain, cluster = [], first_cluster
        while 2 <= cluster < (0xFFF7 if fat16 else 0x0FFFFFF7) and cluster not in chain:
            chain.append(cluster)
            cluster = struct.unpack_from("<H" if fat16 else "<I", fat, cluster * (2 if fat16 else 4))[0]
            cluster &= 0xFFFF if fat16 else 0x0FFFFFFF
        entries = []  # (cluster index, 32 bytes)
        for index, cluster in enumerate(chain):
            image.seek((data_start + (cluster - 2) * sectors_per_cluster) * 512)
            data = image.read(cluster_bytes)
            entries += [(index, data[i:i + 32]) for i in range(0, len(data), 32)]
    counts = collections.Counter()
    run = []
    for index, entry in entries:
        if entry[0] == 0:
            break
        if entry[11] == 0x0F:
            run.append(index)
            continue
        if run and entry[0] == 0xE5:
            if run[0] != run[-1]:
                counts["inside-run"] += 1
            elif run[-1] != index:
                counts["before-short"] += 1
        run = []
    return counts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scan", required=True, help="restora-cli scan --json output")
    parser.add_argument("--fls-all", required=True, help="fls -r -p -l output")
    parser.add_argument("--fls-deleted", required=True, help="fls -r -d -p -l output")
    parser.add_argument("--manifest", help="manifest of make-fat-volume.sh")
    parser.add_argument("--image", help="the volume, for --straddle")
    parser.add_argument("--straddle", help="folder whose long names must straddle clusters")
    parser.add_argument("--extra-ok", action="append", default=[], help="a path only the scan may list")
    parser.add_argument("--missing-ok", action="append", default=[], help="a path only fls may list")
    args = parser.parse_args()
    problems = []

    document, nodes = read_scan(args.scan, problems)
    extra_ok = {canon(p) for p in args.extra_ok}
    missing_ok = {canon(p) for p in args.missing_ok}
    ours_files = collections.Counter()
    ours_folders = {}
    for path, node in nodes:
        if node["status"] & 2:
            ours_folders[canon(path)] = node
            if not node["children"]:
                problems.append(f"scan: empty folder {path} left in the tree")
            if (node["attributes"] & 0x10) == 0:
                problems.append(f"scan: folder {path} without the folder attribute")
        else:
            ours_files[(canon(path), node["size"])] += 1
            if node["size"] == 0 or node["firstCluster"] == 0:
                problems.append(f"scan: empty file {path} listed")

    deleted = read_fls(args.fls_deleted)
    every = read_fls(args.fls_all)
    fls_files = collections.Counter((canon(p), s) for p, d, _, s in deleted if not d and s)
    fls_deleted_folders = {canon(p) for p, d, _, _ in deleted if d}
    fls_folders = {canon(p) for p, d, _, _ in every if d}

    for (path, size), count in (ours_files - fls_files).items():
        if path not in extra_ok:
            problems.append(f"only the scan lists file {path} ({size} bytes) x{count}")
    for (path, size), count in (fls_files - ours_files).items():
        if path not in missing_ok:
            problems.append(f"only fls lists deleted file {path} ({size} bytes) x{count}")
    for path, node in ours_folders.items():
        known = fls_deleted_folders if node["status"] == 2 else fls_folders | fls_deleted_folders
        if path not in known and path not in extra_ok:
            problems.append(f"only the scan lists folder {path} (status {node['status']})")
    # Every deleted folder of fls that leads to a listed file must be in the tree.
    for path, _ in fls_files:
        parts = path.split("/")
        for depth in range(1, len(parts)):
            folder = "/".join(parts[:depth])
            if folder in fls_deleted_folders and folder not in ours_folders and path not in missing_ok:
                problems.append(f"deleted folder {folder} of {path} missing from the scan")

    if args.manifest:
        with open(args.manifest, encoding="utf-8") as handle:
            for line in handle:
                status, size, _, path = line.rstrip("\n").split("\t")
                key = (canon(path), int(size))
                if status == "deleted" and int(size) > 0 and ours_files[key] == 0:
                    problems.append(f"manifest: deleted {path} ({size} bytes) not listed")
                if (status == "live" or int(size) == 0) and ours_files[key] > 0:
                    problems.append(f"manifest: {status} {path} ({size} bytes) listed")

    if args.straddle:
        folder = next((node for path, node in nodes if path == args.straddle), None)
        if folder is None:
            problems.append(f"folder {args.straddle} not in the scan")
        else:
            counts = straddling_deletes(args.image, folder["firstCluster"])
            if counts["inside-run"] == 0 or counts["before-short"] == 0:
                problems.append(f"{args.straddle}: deleted long names do not straddle both ways: {dict(counts)}")

    for problem in problems:
        print(problem)
    print(f"{document['kind']}: {sum(ours_files.values())} files, {len(ours_folders)} folders listed; "
          f"{len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
