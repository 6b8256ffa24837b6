# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the files restora-cli recover saved below SAVE_FOLDER against the manifest of what was
written and against icat of The Sleuth Kit for the same entry: every deleted file with content
comes back byte-exactly (the same SHA-256 as written and as icat reads it), and every saved file
is one of the manifest. Entries are matched by each path component in lower case without its
first character (a deleted 8.3 name loses it: "X" here, "_" in fls).

usage: recover_check.py IMAGE MANIFEST SAVE_FOLDER"""
import hashlib
import os
import subprocess
import sys


def key(path):
    return "/".join(part.lower()[1:] for part in path.split("/"))


def fls_entries(image):
    """key -> inode of every file entry; a deleted entry wins over a live one. fls does not always
    descend into a deleted folder; its content is then listed from the folder's inode."""
    entries, pending = {}, [("", None)]
    while pending:
        prefix, folder = pending.pop()
        out = subprocess.run(["fls", "-r", "-p", image] + ([folder] if folder else []), capture_output=True, check=True)
        for line in out.stdout.decode("utf-8", "replace").splitlines():
            head, _, path = line.partition("\t")
            fields = head.split()
            inode = fields[-1].rstrip(":").split("-")[0] if fields else "0"
            if not fields or path.startswith("$OrphanFiles") or ":" in path or inode == "0":
                continue
            deleted = len(fields) > 2 and fields[1] == "*"
            if fields[0].endswith("/d") and deleted and folder is None:
                pending.append((prefix + path + "/", inode))
            k = key(prefix + path)
            if fields[0].endswith("/r") and (k not in entries or deleted):
                entries[k] = inode
    return entries


def main():
    image, manifest_path, save_folder = sys.argv[1:4]
    manifest = {}
    for line in open(manifest_path, encoding="utf-8"):
        state, size, digest, path = line.rstrip("\n").split("\t")
        if ":" not in path:  # a named stream is saved with its file's data
            manifest[key(path)] = (state, int(size), digest, path)
    saved = {}
    for folder, _, files in os.walk(save_folder):
        for name in files:
            full = os.path.join(folder, name)
            saved[key(os.path.relpath(full, save_folder))] = hashlib.sha256(open(full, "rb").read()).hexdigest()
    fls = fls_entries(image)
    failures, exact = 0, 0
    for k, (state, size, digest, path) in sorted(manifest.items()):
        if state != "deleted" or size == 0:
            continue
        icat = subprocess.run(["icat", "-r", image, fls.get(k, "0")], capture_output=True).stdout
        if saved.get(k) == digest and hashlib.sha256(icat).hexdigest() == digest:
            exact += 1
        else:
            print(f"MISMATCH {path}: written {digest}, ours {saved.get(k, 'missing')}")
            failures += 1
    for k, digest in saved.items():
        if k not in manifest or manifest[k][2] != digest:
            print(f"UNEXPECTED saved file {k}")
            failures += 1
    print(f"{exact} deleted files recovered byte-exactly (as written and as icat reads them)")
    return 1 if failures or exact < 10 else 0


if __name__ == "__main__":
    sys.exit(main())
