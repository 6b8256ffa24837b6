# SPDX-License-Identifier: GPL-3.0-or-later
# Real files of many types made by real writers, placed on a raw disk or written to volumes, and
# the checks that the signature search finds each where it was put, under its type, cut at its end.
#
#   samples.py make FOLDER             one file of every type the installed writers can make;
#                                      FOLDER/manifest.json lists them
#   samples.py plant FOLDER DISK MIB [COUNT]
#                                      a disk of MIB MiB of other data holding each file once (or
#                                      COUNT files, the types taking turns): the
#                                      first at sector 0, one at the start of a read and one across
#                                      its end, one in eight across a 63-sector block boundary, the
#                                      last ending at the disk's end, a third followed directly by
#                                      other data; writes DISK.placed.json
#   samples.py locate FOLDER IMAGE     where a volume's file system put them (istat); IMAGE.placed.json
#   samples.py check PLACED SCAN.json SOURCE [--saved DIR] [--fixed-size] [--types T,...]
#                                      every placed file (of the types) found at its sector under its
#                                      type with its own size (or with --fixed-size the maximum) and
#                                      bytes, saved with them below DIR, and nothing else found
#   samples.py sectors SCAN.json SOURCE DIR   every found file saved below DIR as its run of sectors
#
# Writers: ImageMagick (photos), ffmpeg (audio and video), gnumeric's ssconvert and Python's xlwt
# (compound documents of two writers), Python's zipfile, tarfile, gzip, bz2, lzma and sqlite3, 7z and
# zstd; a JPEG with an Exif thumbnail, a PDF with two revisions, RTF, MIDI and a compound document
# whose main stream's entry comes late in its directory are built here.
#
import argparse
import bz2
import gzip
import hashlib
import io
import json
import lzma
import os
import random
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

SECTOR, BLOCK, READ = 512, 63, 16 * 63


def prose(lines):
    rng = random.Random(lines)
    words = ["disk", "sector", "found", "file", "photo", "report", "budget", "holiday", "letter", "music"]
    return "\n".join(" ".join(rng.choice(words) for _ in range(12)) for _ in range(lines)).encode()


def exif_jpeg(big, thumb):
    # A JPEG whose Exif segment (APP1) carries a JPEG thumbnail (IFD1).
    tiff = bytearray(b"II*\x00\x08\x00\x00\x00")
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x010F, 2, 4, 0x6F6F46) + struct.pack("<I", 26)
    thumb_at = 26 + 2 + 2 * 12 + 4  # IFD1 at 26: the thumbnail's offset and length
    tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, thumb_at)
    tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb)) + struct.pack("<I", 0) + thumb
    segment = b"Exif\x00\x00" + bytes(tiff)
    return big[:2] + b"\xff\xe1" + struct.pack(">H", len(segment) + 2) + segment + big[2:]


def pdf():
    def revision(body, objects, start):
        offsets, out = [], body
        for number, obj in objects:
            offsets.append((number, len(out)))
            out += b"%d 0 obj\n%s\nendobj\n" % (number, obj)
        xref = len(out)
        out += b"xref\n0 1\n0000000000 65535 f \n" + b"".join(b"%d 1\n%010d 00000 n \n" % o for o in offsets)
        out += b"trailer\n<< /Size 5 /Root 1 0 R %s>>\nstartxref\n%d\n%%%%EOF\n" % (
            b"/Prev %d " % start if start else b"", xref)
        return out, xref
    text = b"BT /F1 12 Tf 72 720 Td (Page) Tj ET " + prose(20).replace(b"\n", b" ")
    objects = [(1, b"<< /Type /Catalog /Pages 2 0 R >>"), (2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
               (3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>"),
               (4, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))]
    first, xref = revision(b"%PDF-1.4\n", objects, 0)
    return revision(first, [(4, b"<< /Length 3 >>\nstream\nq Q\nendstream")], xref)[0]


def midi():
    rng = random.Random(5)
    track = b"".join(bytes([0, 0x90, 60 + rng.randrange(12), 100, 96, 0x80, 60, 0]) for _ in range(50)) + b"\x00\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(track)) + track


def compound_late_stream(stream, payload):
    # A compound file whose main stream's entry is the fifth of the directory (its second sector).
    free, end = 0xFFFFFFFF, 0xFFFFFFFE
    data_sectors = (len(payload) + SECTOR - 1) // SECTOR
    header = bytearray(SECTOR)
    header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHHH", header, 0x18, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<IIIIIIIII", header, 0x28, 0, 1, 1, 0, 4096, end, 0, end, 0)
    for i in range(109):
        struct.pack_into("<I", header, 0x4C + 4 * i, 0 if i == 0 else free)
    table = [0xFFFFFFFD, 2, end] + [4 + i for i in range(data_sectors - 1)] + [end]
    fat = struct.pack("<128I", *(table + [free] * (128 - len(table))))

    def entry(name, kind, start=end, size=0, child=free, right=free):
        raw = bytearray(128)
        encoded = (name + "\0").encode("utf-16-le")
        raw[0:len(encoded)] = encoded
        struct.pack_into("<HBB", raw, 64, len(encoded), kind, 1)
        struct.pack_into("<III", raw, 68, free, right, child)
        struct.pack_into("<IQ", raw, 116, start, size)
        return bytes(raw)
    names = ["\x05SummaryInformation", "\x05DocumentSummaryInformation", "CompObj", stream]
    entries = [entry("Root Entry", 5, child=1)]
    for k, name in enumerate(names):
        last = k == len(names) - 1
        entries.append(entry(name, 2, 3 if last else end, len(payload) if last else 0, right=free if last else k + 2))
    entries += [bytes(128)] * (8 - len(entries))
    return bytes(header) + fat + b"".join(entries) + payload + bytes(data_sectors * SECTOR - len(payload))


def archive(entries, stored_first=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for k, (name, data) in enumerate(entries):
            z.writestr(name, data, zipfile.ZIP_STORED if stored_first and k == 0 else zipfile.ZIP_DEFLATED)
    return buffer.getvalue()


def make(args, folder):
    os.makedirs(folder, exist_ok=True)
    files, work = [], tempfile.mkdtemp()

    def add(name, data, category):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        files.append({"file": name, "category": category, "extension": name.rsplit(".", 1)[1]})

    def tool(name, category, *command):
        # Runs a writer that makes work/name; the type is left out when the writer is missing or fails.
        path = os.path.join(work, name)
        try:
            subprocess.run([c.replace("@", path) for c in command], check=True, capture_output=True)
            add(name, open(path, "rb").read(), category)
        except (OSError, subprocess.CalledProcessError):
            pass

    convert = os.environ.get("CONVERT", "convert")
    image = [convert, "-seed", "1", "-size", "96x64", "gradient:red-blue"]
    tool("photo.jpg", "Photos", *image, "-quality", "60", "@")
    tool("thumb.jpg", "Photos", *image, "-resize", "32x24", "@")
    if files and files[-1]["file"] == "thumb.jpg":
        thumb = open(os.path.join(folder, files.pop()["file"]), "rb").read()
        os.remove(os.path.join(folder, "thumb.jpg"))
        add("exif.jpg", exif_jpeg(open(os.path.join(folder, "photo.jpg"), "rb").read(), thumb), "Photos")
    for extension in ("png", "gif", "bmp", "tif", "webp", "psd", "jp2"):
        tool("image." + extension, "Photos", *image, "@")
    tool("image3.bmp", "Photos", *image, "BMP3:@")
    tone = ["ffmpeg", "-y", "-f", "lavfi", "-i", "sine=frequency=300:duration=1"]
    video = ["ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", *tone[2:]]
    for name, category, *options in (
            ("song.mp3", "Audio", "-c:a", "libmp3lame", "-b:a", "64k", "-metadata", "title=Song"),
            ("sound.wav", "Audio", "-ar", "8000"), ("sound.flac", "Audio"), ("sound.ogg", "Audio", "-c:a", "libvorbis"),
            ("sound.m4a", "Audio", "-c:a", "aac", "-b:a", "48k")):
        tool(name, category, *tone, *options, "@")
    for name, options in (("clip.mp4", "-c:v mpeg4 -c:a aac"), ("clip.mov", "-c:v mjpeg -c:a aac"),
                          ("clip.avi", "-c:v mpeg4 -c:a libmp3lame"), ("clip.mkv", "-c:v mpeg4 -c:a libvorbis"),
                          ("clip.flv", "-c:v flv -c:a libmp3lame -ar 22050"), ("clip.wmv", "-c:v wmv2 -c:a wmav2"),
                          ("clip.mpg", "-r 25 -c:v mpeg1video -c:a mp2 -f mpeg")):
        tool(name, "Video", *video, *options.split(), "-shortest", "@")
    tool("clip.3gp", "Video", *video[:6], "-c:v", "h263", "-s", "176x144", "@")
    text = prose(40)
    with open(os.path.join(work, "table.csv"), "w") as f:
        f.write("\n".join("%d,item%d,%d" % (r, r, r * r) for r in range(30)))
    tool("gnumeric.xls", "Documents", "ssconvert", os.path.join(work, "table.csv"), "@")
    tool("gnumeric95.xls", "Documents", "ssconvert", "-T", "Gnumeric_Excel:excel_biff7", os.path.join(work, "table.csv"), "@")
    try:  # a second writer of compound documents: Python's xlwt (Debian's python3-xlwt)
        sys.path.append("/usr/lib/python3/dist-packages")
        import xlwt
        book = xlwt.Workbook()
        sheet = book.add_sheet("Sheet")
        for r in range(20):
            sheet.write(r, 0, "row %d" % r)
        buffer = io.BytesIO()
        book.save(buffer)
        add("xlwt.xls", buffer.getvalue(), "Documents")
    except ImportError:
        pass
    for stream, extension in (("WordDocument", "doc"), ("Workbook", "xls"), ("PowerPoint Document", "ppt")):
        add("late." + extension, compound_late_stream(stream, (text * 2)[:4096]), "Documents")
    types = b'<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
    add("archive.zip", archive([("a.txt", text), ("b.txt", text[::-1])]), "Archives")
    for name, part in (("report.docx", "word/document.xml"), ("sheet.xlsx", "xl/workbook.xml"),
                       ("slides.pptx", "ppt/presentation.xml")):
        add(name, archive([("[Content_Types].xml", types), (part, text)]), "Documents")
    for name, kind in (("office.odt", b"vnd.oasis.opendocument.text"), ("office.ods", b"vnd.oasis.opendocument.spreadsheet"),
                       ("book.epub", b"epub+zip")):
        add(name, archive([("mimetype", b"application/" + kind), ("content.xml", text)], stored_first=True), "Documents")
    add("tool.jar", archive([("META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\n"), ("A.class", text)]), "Programs")
    add("paper.pdf", pdf(), "Documents")
    add("note.rtf", b"{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\f0 " + prose(30).replace(b"\n", b"\\par ") + b"}\r\n", "Documents")
    add("tune.mid", midi(), "Audio")
    with sqlite3.connect(os.path.join(work, "data.db")) as connection:
        connection.execute("CREATE TABLE t (name TEXT, size INTEGER)")
        connection.executemany("INSERT INTO t VALUES (?, ?)", [("f%d" % i, i) for i in range(100)])
    connection.close()
    add("data.db", open(os.path.join(work, "data.db"), "rb").read(), "Databases")
    tar = io.BytesIO()
    with tarfile.open(fileobj=tar, mode="w", format=tarfile.USTAR_FORMAT) as bundle:
        info = tarfile.TarInfo("notes.txt")
        info.size = len(text)
        bundle.addfile(info, io.BytesIO(text))
    add("bundle.tar", tar.getvalue(), "Archives")
    add("text.gz", gzip.compress(prose(200), mtime=0), "Archives")
    add("text.bz2", bz2.compress(prose(200)), "Archives")
    add("text.xz", lzma.compress(prose(200)), "Archives")
    with open(os.path.join(work, "plain.txt"), "wb") as f:
        f.write(text * 3)
    tool("pack.7z", "Archives", "7z", "a", "-bd", "@", os.path.join(work, "plain.txt"))
    tool("pack.zst", "Archives", "zstd", "-q", "-f", os.path.join(work, "plain.txt"), "-o", "@")
    shutil.rmtree(work)
    for f in files:
        data = open(os.path.join(folder, f["file"]), "rb").read()
        f["size"], f["sha256"] = len(data), hashlib.sha256(data).hexdigest()
        # A compound document's largest size: its header and what its table sectors can address.
        f["tableSectors"] = struct.unpack_from("<I", data, 0x2C)[0] if data[:4] == b"\xd0\xcf\x11\xe0" else None
        f["ends"] = f["extension"] not in ("gz", "bz2", "xz")  # streams without a stated end keep the maximum
    json.dump(files, open(os.path.join(folder, "manifest.json"), "w"), indent=1)
    print("%d files of %d types" % (len(files), len({f["extension"] for f in files})))


def plant(args, folder, disk, mib, count="0"):
    files, mib = json.load(open(os.path.join(folder, "manifest.json"))), int(mib)
    files = [files[k % len(files)] for k in range(int(count) or len(files))]
    rng = random.Random(19)
    block = rng.randbytes(1 << 20)
    with open(disk, "wb") as out:  # other data everywhere: each MiB a little different
        for m in range(mib):
            out.write(struct.pack("<Q", m * 2654435761) + block[8:])
    total = mib * 2048
    gap = (total - sum(f["size"] // SECTOR + 1 for f in files)) // (len(files) + 1)
    anchors, placed, cursor = [0, 8 * READ, 16 * READ - 1], [], 0
    with open(disk, "r+b") as out:
        for k, f in enumerate(files):
            sectors = (f["size"] + SECTOR - 1) // SECTOR
            if k == len(files) - 1:
                sector = total - sectors
            elif anchors and cursor <= anchors[0] < cursor + gap + sectors:
                sector = anchors.pop(0)
            elif k % 8 == 4 and sectors > 1:  # across a block boundary: one sector before it
                sector = (cursor // BLOCK + 1) * BLOCK - 1
            else:
                sector = cursor
            assert cursor <= sector and sector + sectors <= total, "the disk is too small"
            data = open(os.path.join(folder, f["file"]), "rb").read()
            out.seek(sector * SECTOR)
            out.write(data + (b"" if k % 3 == 0 else bytes(sectors * SECTOR - len(data))))
            placed.append(dict(f, sector=sector))
            cursor = sector + sectors + rng.randrange(1, gap)
    assert not anchors, "a read boundary was left out"
    json.dump(placed, open(disk + ".placed.json", "w"), indent=1)


def locate(args, folder, image):
    # Where the file system put each sample: its first sector, from The Sleuth Kit's istat.
    samples = {s["file"]: s for s in json.load(open(os.path.join(folder, "manifest.json")))}
    fsstat = subprocess.run(["fsstat", image], check=True, capture_output=True, text=True).stdout
    cluster = int(re.search(r"^Cluster Size: (\d+)", fsstat, re.M).group(1))
    listing = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True, text=True).stdout
    placed = []
    for match in re.finditer(r"^r/r (\* )?(\d+(?:-\d+-\d+)?):\s+(.*)$", listing, re.M):
        name = match.group(3)  # FAT marks a deleted entry in its first byte: "_etter.doc"
        name = next((s for s in samples if s[1:] == name[1:]), name) if match.group(1) else name
        if name not in samples:
            continue
        detail = subprocess.run(["istat", image, match.group(2)], check=True, capture_output=True, text=True).stdout
        if "File System Type: NTFS" in fsstat:
            data = re.search(r"^Type: \$DATA \(128-\d+\)\s+Name: N/A\s+(Non-Resident|Resident).*\n((?:[\d ]+\n)*)", detail, re.M)
            if not data or data.group(1) != "Non-Resident":
                continue  # kept inside the file record: not at a sector start
            sector = int(data.group(2).split()[0]) * (cluster // SECTOR)
        else:
            sector = int(re.search(r"^Sectors:\s*\n\s*(\d+)", detail, re.M).group(1))
        placed.append(dict(samples[name], sector=sector))
    json.dump(placed, open(image + ".placed.json", "w"), indent=1)
    print("%d samples located" % len(placed))


def found_files(node, path=()):
    for child in node["children"]:
        if child["children"] or child["status"] & 2:
            yield from found_files(child, path + (child["name"],))
        else:
            yield path, child


def start_of(node, scan):
    return node["location"] if scan["kind"] in ("Disk", "Ntfs") else node["firstCluster"]


def check(args, placed, scan, source):
    placed = [p for p in json.load(open(placed)) if not args.types or p["extension"] in args.types.split(",")]
    scan, name = json.load(open(scan)), os.path.basename(scan)
    raw = (scan["root"]["children"] or [{"name": None, "children": []}])[0]
    failures = [] if raw["name"] == "Raw Data" else ["the root's first child is not Raw Data"]
    found, whole = {(path, node["name"]): node for path, node in found_files(raw)}, 0
    with open(source, "rb") as source:
        for p in placed:
            failed = len(failures)
            key = ((p["category"], p["extension"]), "%d.%s" % (p["sector"], p["extension"]))
            node = found.pop(key, None)
            if node is None:
                failures.append("%s: not found as %s/%s" % (p["file"], "/".join(key[0]), key[1]))
                continue
            size = p["size"]
            if args.fixed_size or not p["ends"]:
                size = min(p["tableSectors"] * 65536 + 512 if p["tableSectors"] else 1 << 30,
                           (scan["totalSectors"] - p["sector"]) * SECTOR)
            expected = (size, p["sector"], 1 if scan["kind"] == "Disk" else 2)
            if (node["size"], start_of(node, scan), node["carveSource"]) != expected:
                failures.append("%s: size, start, carveSource %s, expected %s" % (
                    p["file"], (node["size"], start_of(node, scan), node["carveSource"]), expected))
            source.seek(p["sector"] * SECTOR)
            copies = [("found", source.read(p["size"]))]
            if args.saved:
                copy = os.path.join(args.saved, "Raw Data", *key[0], key[1])
                copies.append(("saved", open(copy, "rb").read() if os.path.isfile(copy) else b""))
            for what, data in copies:
                if hashlib.sha256(data if p["ends"] else data[:p["size"]]).hexdigest() != p["sha256"]:
                    failures.append("%s: %d bytes %s, not the %d written" % (p["file"], len(data), what, p["size"]))
            whole += failed == len(failures)
    inside = lambda node: any(0 <= start_of(node, scan) - p["sector"] < p["size"] / SECTOR for p in placed)
    failures += ["found where nothing was put: %s/%s" % ("/".join(path), name)
                 for (path, name), node in sorted(found.items()) if not inside(node)]
    for failure in failures:
        print("FAIL:", failure)
    print("%d of %d placed files found whole (%s)" % (whole, len(placed), name))
    return 1 if failures or not placed else 0


def sectors(args, scan, source, saved):
    scan, source = json.load(open(scan)), open(source, "rb")
    found = [(path, node) for path, node in found_files(scan["root"]) if node.get("carveSource")]
    for path, node in found:
        source.seek(start_of(node, scan) * SECTOR)
        if open(os.path.join(saved, *path, node["name"]), "rb").read() != source.read(node["size"]):
            return "FAIL: %s is not saved as its sectors" % node["name"]
    print("%d found files saved as their sectors" % len(found))
    return 0 if found else "FAIL: nothing found"


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=("make", "plant", "locate", "check", "sectors"))
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--saved")
    parser.add_argument("--fixed-size", action="store_true")
    parser.add_argument("--types")
    args = parser.parse_args()
    sys.exit(globals()[args.command](args, *args.paths))
