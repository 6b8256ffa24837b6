# SPDX-License-Identifier: GPL-3.0-or-later
# The comparisons of the end-to-end tests: restora-cli against The Sleuth Kit and against what
# was written (a manifest of status<TAB>size<TAB>SHA-256<TAB>path lines, as the volume makers write).
#
#   check.py listing CLI IMAGE [--manifest M] [--overwritten 0|100] [--orphans]
#            [--offset START] [SCAN OPTIONS...]
#       runs `restora-cli scan --json` and compares its deleted files with `fls -r -d`: on FAT both
#       ways, by path and size (8.3 names without their first letter and case: fls shows "_" where
#       the scan shows "x"), its folders with fls's, and the manifest's deleted files listed under
#       their names as written; on NTFS both ways, each file with the size of the last data
#       attribute istat shows for its record; with --orphans only one way, an orphan of fls found
#       by its name or (named by its 8.3 alias) its size. --offset START: IMAGE is a disk, the
#       partition at START is compared (fls -o). --overwritten checks every deleted file's
#       share (100: only files over 4 KiB, which cannot sit in their record).
#   check.py recovered IMAGE MANIFEST SAVED [--mtime SECONDS] [--anywhere]
#       every deleted file of the manifest with content is saved below SAVED with the written bytes
#       (its SHA-256), every saved file is one of the manifest,
#       with --mtime each carrying that modification time; --anywhere matches saved files by their
#       content wherever they are and whatever their name (orphans may keep only their 8.3 alias).
# Exits 1 with one line per difference.
import argparse, collections, hashlib, json, os, re, subprocess, sys

EIGHT_THREE = re.compile(r"^[^. ]{1,8}(\.[^. ]{1,3})?$")
FLS_LINE = re.compile(r"^(\S)/(\S) (\* )?([0-9]+)[0-9-]*(\([^)]*\))?:\t(.*)$")


def run(*command):
    return subprocess.run(command, capture_output=True, check=True).stdout.decode("utf-8", "replace")


def canon(path):
    return "/".join("?" + p[1:].upper() if EIGHT_THREE.match(p) else p for p in path.split("/"))


def tail(path):  # every component without its first letter: how a deleted 8.3 name keeps its case
    return "/".join(p[1:] for p in path.split("/"))


OFFSET = []  # ["-o", START] for a partition of a disk image


def fls(image, *options):
    # (path, kind, deleted, inode, size) of every real entry; size only with -l
    entries = []
    for match in filter(None, map(FLS_LINE.match, run("fls", "-r", "-p", *OFFSET, *options, image).splitlines())):
        fields = match.group(6).split("\t")
        if match.group(2) not in "vV" and "(Volume Label Entry)" not in fields[0]:
            entries.append((fields[0], match.group(2), bool(match.group(3)), match.group(4),
                            int(fields[5]) if len(fields) > 5 else None))
    return entries


def tree(node, prefix=""):
    for child in node["children"]:
        yield prefix + child["name"], child
        yield from tree(child, prefix + child["name"] + "/")


def compare_fat(image, scan, manifest, problems):
    files, folders = collections.Counter(), {}
    for path, node in tree(scan["root"]):
        if node["status"] & 2:
            folders[canon(path)] = node
            if not node["children"]:
                problems.append(f"scan: empty folder {path} left in the tree")
        else:
            files[(canon(path), node["size"])] += 1
    every, deleted = ([e for e in fls(image, "-l", *d) if not e[0].startswith("$OrphanFiles")] for d in ((), ("-d",)))
    theirs = collections.Counter((canon(p), s) for p, k, _, _, s in deleted if k != "d" and s)
    deleted_folders = {canon(p) for p, k, _, _, _ in deleted if k == "d"}
    all_folders = deleted_folders | {canon(p) for p, k, _, _, _ in every if k == "d"}
    for (path, size), count in (files - theirs).items():
        problems.append(f"only the scan lists file {path} ({size} bytes) x{count}")
    for (path, size), count in (theirs - files).items():
        problems.append(f"only fls lists deleted file {path} ({size} bytes) x{count}")
    for path, node in folders.items():
        if path not in (deleted_folders if node["status"] == 2 else all_folders):
            problems.append(f"only the scan lists folder {path} (status {node['status']})")
    names = {tail(path) for path, _ in tree(scan["root"])}
    for status, size, _, path in manifest:
        listed = files[(canon(path), size)] > 0
        if listed != (status == "deleted" and size > 0):
            problems.append(f"manifest: {status} {path} ({size} bytes) {'listed' if listed else 'not listed'}")
        elif listed and tail(path) not in names:
            problems.append(f"manifest: {path} listed under another name or case")


def compare_ntfs(image, scan, problems):
    theirs, seen = [], set()
    for path, kind, deleted, inode, _ in fls(image, "-d"):
        if not deleted or kind != "r" or inode == "0" or inode in seen or path.startswith("$OrphanFiles/OrphanFile-"):
            continue  # names from index slack alone, records without a name, a record's second stream
        seen.add(inode)
        sizes = re.findall(r"^Type: \$DATA.*size: (\d+)", run("istat", *OFFSET, image, inode), re.M)
        if sizes and int(sizes[-1]) > 0:
            theirs.append((path.split(":")[0], int(sizes[-1])))
    ours = [(re.sub(r"^#[0-9]*/", "$OrphanFiles/", p), n["size"]) for p, n in tree(scan["root"]) if n["status"] == 0]
    only_fls, only_ours = collections.Counter(theirs) - collections.Counter(ours), collections.Counter(ours) - collections.Counter(theirs)
    problems += [f"only fls lists {p} ({s} bytes)" for p, s in only_fls] + [f"only the scan lists {p} ({s} bytes)" for p, s in only_ours]


def compare_orphans(image, scan, problems):
    ours = {canon(p): n for p, n in tree(scan["root"]) if n["status"] == 0}
    for path, kind, deleted, _, size in fls(image, "-l", "-d"):
        if kind != "r" or not deleted or not size:
            continue
        if path.startswith("$OrphanFiles/"):
            wanted = canon(path.split("/")[-1])
            found = [k for k in ours if k.split("/")[-1] == wanted] or [k for k in ours if ours[k]["size"] == size]
        else:
            found = [canon(path)] if canon(path) in ours else []
        if not found or ours[found[0]]["size"] != size:
            problems.append(f"fls lists {path} ({size} bytes), the scan {'does not' if not found else ours[found[0]]['size']}")


def listing(args, scan_options):
    out = subprocess.run([args.cli, "scan", args.image, "--json", *scan_options], capture_output=True, check=True)
    scan, problems = json.loads(out.stdout), []
    if args.offset is not None:  # the partition's folder as the listing of a volume of its own
        OFFSET[:] = ["-o", str(args.offset)]
        part = next(p for p in scan["partitions"] if p["start"] == args.offset)
        scan = dict(scan, kind=part["kind"], root=next(c for c in scan["root"]["children"] if c["name"] == part["folder"]))
    if scan["kind"] == "Ntfs" and out.stderr:
        problems.append("diagnostics on a sound volume: " + out.stderr.decode())
    if args.orphans:
        compare_orphans(args.image, scan, problems)
    elif scan["kind"] == "Ntfs":
        compare_ntfs(args.image, scan, problems)
    elif scan["kind"] in ("Fat16", "Fat32") and scan["completed"]:
        compare_fat(args.image, scan, read_manifest(args.manifest), problems)
    else:
        problems.append("not a completed FAT or NTFS scan")
    deleted = [(p, n) for p, n in tree(scan["root"]) if n["status"] == 0]
    if (args.manifest or args.overwritten or args.orphans) and not deleted:
        problems.append("no deleted file listed, which proves nothing")
    for path, node in deleted:
        if args.overwritten == "0" and node.get("overwritten") != 0 or \
           args.overwritten == "100" and node["size"] > 4096 and node.get("overwritten") != 100:
            problems.append(f"{path}: overwritten {node.get('overwritten')}, expected {args.overwritten}")
    return problems, f"{len(deleted)} deleted files"


def read_manifest(path):
    rows = [line.rstrip("\n").split("\t") for line in open(path, encoding="utf-8")] if path else []
    return [(status, int(size), digest, name) for status, size, digest, name in rows if ":" not in name]




def recovered(args, _):
    name = (lambda path, digest: digest) if args.anywhere else (lambda path, digest: tail(path.lower()))
    manifest = {name(row[3], row[2]): row for row in read_manifest(args.manifest)}
    saved, problems, exact = {}, [], 0
    for folder, _, files in os.walk(args.saved):
        for file in files:
            full = os.path.join(folder, file)
            digest = hashlib.sha256(open(full, "rb").read()).hexdigest()
            saved[name(os.path.relpath(full, args.saved), digest)] = (digest, full)
    for k, (status, size, digest, path) in sorted(manifest.items()):
        if status != "deleted" or size == 0:
            continue
        ours, full = saved.get(k, ("missing", None))
        if ours != digest:
            problems.append(f"{path}: written {digest}, saved {ours}")
        elif args.mtime is not None and int(os.stat(full).st_mtime) != args.mtime:
            problems.append(f"{path}: modification time {int(os.stat(full).st_mtime)}, written {args.mtime}")
        else:
            exact += 1
    problems += [f"saved {k}, which was not written so" for k, (d, _) in saved.items() if manifest.get(k, (0, 0, None))[2] != d]
    return problems + ([] if exact else ["nothing recovered"]), f"{exact} deleted files recovered byte-exactly"


def main():
    parser = argparse.ArgumentParser(allow_abbrev=False)
    parser.add_argument("command", choices=("listing", "recovered"))
    parser.add_argument("paths", nargs="+")
    for flag, kind in (("--manifest", str), ("--overwritten", str), ("--offset", int), ("--mtime", int)):
        parser.add_argument(flag, type=kind)
    for flag in ("--orphans", "--anywhere"):
        parser.add_argument(flag, action="store_true")
    args, rest = parser.parse_known_args()
    if args.command == "listing":
        (args.cli, args.image), command = args.paths, listing
    else:
        (args.image, args.manifest, args.saved), command = args.paths, recovered
    problems, summary = command(args, rest)
    for problem in problems:
        print("FAIL:", problem)
    print(f"{os.path.basename(args.image)}: {summary}, {len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
