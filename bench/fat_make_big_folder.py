#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes a FAT32 volume (mkfs.fat, 512-byte clusters) whose root folder holds COUNT deleted files,
each with a one-part long name and a short entry, every one with its own first cluster; the
root's clusters are chained in both FATs. Used to time the scan of a very large folder.

usage: fat_make_big_folder.py OUT.img COUNT"""

import os
import struct
import subprocess
import sys


def checksum(short_name):
    total = 0
    for byte in short_name:
        total = (((total & 1) << 7) + (total >> 1) + byte) & 0xFF
    return total


def long_entry(name, check):
    units = [ord(c) for c in name] + [0] + [0xFFFF] * 12
    units = units[:13]
    entry = bytearray(32)
    entry[0] = 0xE5  # deleted, like its short entry
    entry[11] = 0x0F
    entry[13] = check
    for index, offset in enumerate((1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30)):
        struct.pack_into("<H", entry, offset, units[index])
    return bytes(entry)


def short_entry(short_name, cluster, size):
    entry = bytearray(32)
    entry[0:11] = short_name
    entry[0] = 0xE5
    entry[11] = 0x20
    struct.pack_into("<HHHH", entry, 0x10, 0x5821, 0x5821, cluster >> 16, 0)
    struct.pack_into("<HHI", entry, 0x18, 0x5821, cluster & 0xFFFF, size)
    return bytes(entry)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, count = sys.argv[1], int(sys.argv[2])
    root_clusters = (count * 64 + 511) // 512 + 1  # two entries per file, and room for the end
    clusters_needed = root_clusters + count + 1024
    size_kib = max(40 * 1024, (clusters_needed + clusters_needed // 64) // 2 + 4096)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["mkfs.fat", "-F", "32", "-s", "1", "-C", path, str(size_kib)], check=True,
                   stdout=subprocess.DEVNULL)
    with open(path, "r+b") as image:
        boot = image.read(512)
        reserved = struct.unpack_from("<H", boot, 14)[0]
        fat_size = struct.unpack_from("<I", boot, 36)[0]
        data_start = reserved + 2 * fat_size
        # The root: clusters 2 … root_clusters + 1, chained in order.
        fat = bytearray()
        for cluster in range(2, root_clusters + 2):
            fat += struct.pack("<I", cluster + 1 if cluster < root_clusters + 1 else 0x0FFFFFFF)
        for copy in range(2):
            image.seek((reserved + copy * fat_size) * 512 + 2 * 4)
            image.write(fat)
        first_file_cluster = root_clusters + 16
        entries = bytearray()
        for number in range(count):
            short_name = b"F%07d" % number + b"DAT"
            entries += long_entry("file%09d" % number, checksum(short_name))
            entries += short_entry(short_name, first_file_cluster + number, 1000 + number % 1000)
        image.seek(data_start * 512)
        image.write(entries)


if __name__ == "__main__":
    main()
