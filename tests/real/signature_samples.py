# SPDX-License-Identifier: GPL-3.0-or-later
"""Real files of many types for the signature-search tests, and the checks on a scan of them.

  signature_samples.py make FOLDER CONVERT      write the samples and FOLDER/manifest.json
  signature_samples.py plant FOLDER DISK SECTORS  write them into a zeroed raw disk file at the
                                                  given sectors; writes DISK.placed.json
  signature_samples.py locate FOLDER IMAGE     where a volume's file system put the samples (by
                                                  The Sleuth Kit); writes IMAGE.placed.json
  signature_samples.py check PLACED SCAN.json SOURCE [RECOVERED_DIR]
                                                  every placed file found where it belongs

Images come from ImageMagick (the CONVERT program), archives, audio and databases from Python's
own writers, the compound documents (doc, xls, ppt) from a small writer of the compound file
format below whose directory holds the stream each application keeps its data in.
"""
import bz2
import gzip
import hashlib
import io
import json
import lzma
import os
import re
import sqlite3
import struct
import subprocess
import sys
import tarfile
import wave
import zipfile

SECTOR = 512
MIB = 1 << 20


def compound_document(stream_name, payload):
    """A compound file (version 3, 512-byte sectors): header, one allocation-table sector, one
    directory sector (root entry, then the named stream), then the stream's own sectors."""
    assert len(payload) >= 4096  # kept out of the mini stream
    data_sectors = (len(payload) + SECTOR - 1) // SECTOR
    free, end, fat_sector = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
    header = bytearray(SECTOR)
    header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHHH", header, 0x18, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<IIIIIIIII", header, 0x28, 0, 1, 1, 0, 4096, end, 0, end, 0)
    struct.pack_into("<I", header, 0x4C, 0)  # the allocation table lies in sector 0
    for i in range(1, 109):
        struct.pack_into("<I", header, 0x4C + 4 * i, free)
    table = [fat_sector, end] + [2 + i + 1 for i in range(data_sectors - 1)] + [end]
    table += [free] * (128 - len(table))
    fat = struct.pack("<128I", *table)

    def entry(name, kind, child, start, size):
        raw = bytearray(128)
        encoded = (name + "\0").encode("utf-16-le")
        raw[0:len(encoded)] = encoded
        struct.pack_into("<HBB", raw, 64, len(encoded), kind, 1)
        struct.pack_into("<III", raw, 68, free, free, child)
        struct.pack_into("<IQ", raw, 116, start, size)
        return bytes(raw)

    empty = bytearray(128)
    struct.pack_into("<III", empty, 68, free, free, free)
    directory = entry("Root Entry", 5, 1, end, 0) + entry(stream_name, 2, free, 2, len(payload)) + bytes(empty) * 2
    body = payload + bytes(data_sectors * SECTOR - len(payload))
    return bytes(header) + fat + directory + body


def mp3_file():
    """An ID3v2.3 tag with a title, then MPEG-1 layer III frames (128 kbit/s, 44.1 kHz) of silence."""
    text = b"\x00Restora test tone"
    frame = b"TIT2" + struct.pack(">I", len(text)) + b"\x00\x00" + text
    size = len(frame)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    audio = (b"\xFF\xFB\x90\x64" + bytes(413)) * 40
    return b"ID3\x03\x00\x00" + syncsafe + frame + audio


def pdf_file():
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
               b"/Resources << /Font << /F1 5 0 R >> >> >>",
               None,
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    content = b"BT /F1 12 Tf 20 50 Td (Recovered by its signature) Tj ET"
    objects[3] = b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream"
    out = bytearray(b"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def zip_bytes(entries, stored_first=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for index, (name, data) in enumerate(entries):
            kind = zipfile.ZIP_STORED if stored_first and index == 0 else zipfile.ZIP_DEFLATED
            archive.writestr(zipfile.ZipInfo(name, (2024, 1, 2, 3, 4, 6)), data, compress_type=kind)
    return buffer.getvalue()


def prose(lines):
    return "".join("Line %d of a text the signature search should find again.\n" % i for i in range(lines)).encode()


def make(folder, convert):
    os.makedirs(folder, exist_ok=True)
    samples = []

    def add(name, data, *types, table_sectors=None):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
        samples.append({"file": name, "types": [list(t) for t in types], "tableSectors": table_sectors})

    def image(name, spec, *types, writer=""):
        subprocess.run([convert, "-size", "160x120", spec, writer + os.path.join(folder, name)], check=True)
        samples.append({"file": name, "types": [list(t) for t in types], "tableSectors": None})

    image("photo.jpg", "gradient:red-blue", ("Photos", "jpg"))
    image("image.png", "gradient:green-yellow", ("Photos", "png"))
    image("image.gif", "gradient:white-black", ("Photos", "gif"))
    image("image.bmp", "gradient:orange-purple", ("Photos", "bmp"))
    image("image3.bmp", "gradient:navy-pink", ("Photos", "bmp"), writer="BMP3:")
    image("image.tif", "gradient:gray-olive", ("Photos", "tif"))
    add("document.pdf", pdf_file(), ("Documents", "pdf"))
    add("archive.zip", zip_bytes([("a.txt", prose(300)), ("b.txt", prose(50))]), ("Archives", "zip"))
    content_types = b'<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
    add("report.docx", zip_bytes([("[Content_Types].xml", content_types), ("word/document.xml", prose(80))]),
        ("Documents", "docx"))
    add("text.odt", zip_bytes([("mimetype", b"application/vnd.oasis.opendocument.text"), ("content.xml", prose(80))],
                              stored_first=True), ("Documents", "odt"))
    add("letter.doc", compound_document("WordDocument", prose(120)), ("Documents", "doc"), table_sectors=1)
    add("sheet.xls", compound_document("Workbook", prose(100)), ("Documents", "xls"), table_sectors=1)
    add("slides.ppt", compound_document("PowerPoint Document", prose(110)), ("Documents", "ppt"), table_sectors=1)
    add("song.mp3", mp3_file(), ("Audio", "mp3"))
    wav = io.BytesIO()
    with wave.open(wav, "wb") as sound:
        sound.setnchannels(1)
        sound.setsampwidth(2)
        sound.setframerate(8000)
        sound.writeframes(bytes(range(256)) * 40)
    add("sound.wav", wav.getvalue(), ("Audio", "wav"))
    database = os.path.join(folder, "data.db")
    with sqlite3.connect(database) as connection:
        connection.execute("CREATE TABLE files (name TEXT, size INTEGER)")
        connection.executemany("INSERT INTO files VALUES (?, ?)", [("file%d" % i, i * 7) for i in range(300)])
    connection.close()
    samples.append({"file": "data.db", "types": [["Databases", "db"]], "tableSectors": None})
    add("note.rtf", b"{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times;}}\\f0 " + prose(20).replace(b"\n", b"\\par ") + b"}",
        ("Documents", "rtf"))
    tar = io.BytesIO()
    with tarfile.open(fileobj=tar, mode="w", format=tarfile.USTAR_FORMAT) as bundle:
        info = tarfile.TarInfo("notes.txt")
        data = prose(40)
        info.size = len(data)
        bundle.addfile(info, io.BytesIO(data))
    add("bundle.tar", tar.getvalue(), ("Archives", "tar"))
    add("text.gz", gzip.compress(prose(200), mtime=0), ("Archives", "gz"))
    add("text.bz2", bz2.compress(prose(200)), ("Archives", "bz2"))
    add("text.xz", lzma.compress(prose(200)), ("Archives", "xz"))
    for sample in samples:
        path = os.path.join(folder, sample["file"])
        data = open(path, "rb").read()
        sample["size"] = len(data)
        sample["sha256"] = hashlib.sha256(data).hexdigest()
    json.dump(samples, open(os.path.join(folder, "manifest.json"), "w"), indent=1)


def plant(folder, disk, sectors):
    samples = json.load(open(os.path.join(folder, "manifest.json")))
    assert len(sectors) == len(samples), "one sector per sample"
    size = os.path.getsize(disk)
    placed = []
    with open(disk, "r+b") as out:
        for sample, sector in zip(samples, sectors):
            data = open(os.path.join(folder, sample["file"]), "rb").read()
            assert sector * SECTOR + len(data) <= size
            out.seek(sector * SECTOR)
            out.write(data)
            placed.append(dict(sample, sector=sector, folder=folder))
    placed.sort(key=lambda p: p["sector"])
    for a, b in zip(placed, placed[1:]):
        assert a["sector"] * SECTOR + a["size"] <= b["sector"] * SECTOR, (a["file"], b["file"])
    json.dump(placed, open(disk + ".placed.json", "w"), indent=1)


def locate(folder, image):
    """Where the file system put each sample: its first sector, from The Sleuth Kit's istat."""
    samples = {s["file"]: s for s in json.load(open(os.path.join(folder, "manifest.json")))}
    fsstat = subprocess.run(["fsstat", image], check=True, capture_output=True, text=True).stdout
    ntfs = "File System Type: NTFS" in fsstat
    cluster = int(re.search(r"^Cluster Size: (\d+)", fsstat, re.M).group(1))
    listing = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True, text=True).stdout
    placed = []
    for line in listing.splitlines():
        match = re.match(r"^r/r (\* )?(\d+)(-\d+-\d+)?:\s+(.*)$", line)
        if not match:
            continue
        name = match.group(4)
        if match.group(1) and name not in samples:
            # FAT marks a deleted entry in its first byte: the name reads "_etter.doc".
            name = next((s for s in samples if s[1:] == name[1:]), name)
        if name not in samples:
            continue
        inode = match.group(2) + (match.group(3) or "")
        detail = subprocess.run(["istat", image, inode], check=True, capture_output=True, text=True).stdout
        if ntfs:
            data = re.search(r"^Type: \$DATA \(128-\d+\)\s+Name: N/A\s+(Non-Resident|Resident).*\n((?:[\d ]+\n)*)",
                             detail, re.M)
            if not data or data.group(1) != "Non-Resident":
                continue  # kept inside the file record: not at a sector start
            sector = int(data.group(2).split()[0]) * (cluster // SECTOR)
        else:
            sector = int(re.search(r"^Sectors:\s*\n\s*(\d+)", detail, re.M).group(1))
        placed.append(dict(samples[name], sector=sector, deleted=bool(match.group(1))))
    json.dump(placed, open(image + ".placed.json", "w"), indent=1)
    print("%d samples located, %d deleted" % (len(placed), sum(p["deleted"] for p in placed)))


def found_files(node, path=()):
    for child in node["children"]:
        if child["status"] & 2:
            yield from found_files(child, path + (child["name"],))
        else:
            yield path, child


def check(placed_path, scan_path, source, recovered=None):
    placed = json.load(open(placed_path))
    scan = json.load(open(scan_path))
    failures = []
    root = scan["root"]
    if not root["children"] or root["children"][0]["name"] != "Raw Data":
        failures.append("the root's first child is not Raw Data")
    raw = root["children"][0]
    total = scan["totalSectors"]
    disk = scan["kind"] == "Disk"
    ntfs_layout = scan["kind"] in ("Disk", "Ntfs")
    found = {}
    for path, node in found_files(raw):
        found[(path, node["name"])] = node
    expected = set()
    with open(source, "rb") as image:
        for sample in placed:
            sector = sample["sector"]
            for category, extension in sample["types"]:
                key = ((category, extension), "%d.%s" % (sector, extension))
                expected.add(key)
                node = found.get(key)
                if node is None:
                    failures.append("%s: no %s/%s/%s" % (sample["file"], category, extension, key[1]))
                    continue
                if sample["tableSectors"] is not None:
                    size = sample["tableSectors"] * 65536 + 512
                else:
                    size = 1024 * MIB
                if sector + size // SECTOR > total:
                    size = (total - sector) * SECTOR
                start = node["location"] if ntfs_layout else node["firstCluster"]
                if (node["size"], start, node["carveSource"]) != (size, sector, 1 if disk else 2):
                    failures.append("%s: size %d, start %d, carveSource %d; expected %d, %d, %d" % (
                        key[1], node["size"], start, node["carveSource"], size, sector, 1 if disk else 2))
                # The found run of sectors starts with the planted file, byte for byte.
                image.seek(start * SECTOR)
                if hashlib.sha256(image.read(sample["size"])).hexdigest() != sample["sha256"]:
                    failures.append("%s: the found sectors do not hold %s" % (key[1], sample["file"]))
                if recovered:
                    copy = os.path.join(recovered, "Raw Data", category, extension, key[1])
                    if not os.path.isfile(copy) or os.path.getsize(copy) != size:
                        failures.append("%s: not recovered with size %d" % (copy, size))
                    else:
                        with open(copy, "rb") as saved:
                            if hashlib.sha256(saved.read(sample["size"])).hexdigest() != sample["sha256"]:
                                failures.append("%s: recovered bytes differ from %s" % (copy, sample["file"]))
    for key in sorted(set(found) - expected):
        failures.append("unexpected hit %s/%s" % ("/".join(key[0]), key[1]))
    for failure in failures:
        print("FAIL:", failure)
    print("%d planted files, %d found files checked" % (len(placed), len(expected)))
    return 1 if failures else 0


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "make":
        make(sys.argv[2], sys.argv[3])
    elif command == "plant":
        plant(sys.argv[2], sys.argv[3], [int(s) for s in sys.argv[4].split(",")])
    elif command == "locate":
        locate(sys.argv[2], sys.argv[3])
    elif command == "check":
        sys.exit(check(*sys.argv[2:]))
    else:
        sys.exit("unknown command " + command)
