# SPDX-License-Identifier: GPL-3.0-or-later
"""Real files of many types made by real writers, planted on a raw disk, and the check that the
advanced search cut each one at its own end.

  carving_samples.py make FOLDER VARIANTS     write VARIANTS files of every type the installed
                                              tools can write; FOLDER/manifest.json lists them
  carving_samples.py plant FOLDER DISK MIB COUNT
                                              a disk of MIB MiB of other data with COUNT of the
                                              files planted (a third followed directly by other
                                              data, one in eight across a 63-sector block
                                              boundary); writes DISK.placed.json
  carving_samples.py check PLACED SCAN.json DISK [RECOVERED]
                                              how many placed files the scan found whole at their
                                              sector, with the recovered copies when given

Writers: ImageMagick (photos), ffmpeg (audio and video), gnumeric's ssconvert and Python's xlwt
(compound documents of two different writers), Python's zipfile, tarfile and sqlite3, 7z and zstd;
a JPEG with an Exif thumbnail, a PDF with two revisions, RTF, MIDI and a compound document whose
main stream's entry comes late in its directory are built here.
"""
import hashlib
import io
import json
import os
import random
import shutil
import sqlite3
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

SECTOR = 512
BLOCK = 63


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def prose(seed, lines):
    rng = random.Random(seed)
    words = ["disk", "sector", "found", "file", "photo", "report", "budget", "holiday", "letter", "music"]
    return "\n".join(" ".join(rng.choice(words) for _ in range(12)) for _ in range(lines)).encode()


def exif_jpeg(big, thumb):
    """A JPEG whose Exif segment (APP1) carries a JPEG thumbnail (IFD1)."""
    tiff = bytearray(b"II*\x00\x08\x00\x00\x00")
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x010F, 2, 4, 0x6F6F46) + struct.pack("<I", 26)
    # IFD1 at 26: the thumbnail's offset and length
    thumb_at = 26 + 2 + 2 * 12 + 4
    tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, thumb_at)
    tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb)) + struct.pack("<I", 0)
    tiff += thumb
    segment = b"Exif\x00\x00" + bytes(tiff)
    assert len(segment) + 2 < 65536
    return big[:2] + b"\xff\xe1" + struct.pack(">H", len(segment) + 2) + segment + big[2:]


def pdf(seed):
    def revision(body, objects, start):
        offsets, out = [], body
        for number, obj in objects:
            offsets.append((number, len(out)))
            out += b"%d 0 obj\n%s\nendobj\n" % (number, obj)
        xref = len(out)
        out += b"xref\n0 1\n0000000000 65535 f \n"
        for number, offset in offsets:
            out += b"%d 1\n%010d 00000 n \n" % (number, offset)
        out += b"trailer\n<< /Size 5 /Root 1 0 R %s>>\nstartxref\n%d\n%%%%EOF\n" % (
            b"/Prev %d " % start if start else b"", xref)
        return out, xref
    text = b"BT /F1 12 Tf 72 720 Td (Page %d) Tj ET " % seed + prose(seed, 20).replace(b"\n", b" ")
    objects = [(1, b"<< /Type /Catalog /Pages 2 0 R >>"), (2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
               (3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>"),
               (4, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))]
    first, xref = revision(b"%PDF-1.4\n", objects, 0)
    second, _ = revision(first, [(4, b"<< /Length 3 >>\nstream\nq Q\nendstream")], xref)
    return second


def midi(seed):
    rng = random.Random(seed)
    events = b"".join(bytes([0, 0x90, 60 + rng.randrange(12), 100, 96, 0x80, 60, 0]) for _ in range(50))
    track = events + b"\x00\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(track)) + track


def rtf(seed):
    return b"{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\f0 " + prose(seed, 30).replace(b"\n", b"\\par ") + b"}\r\n"


def compound_late_stream(stream, payload):
    """A compound file whose main stream's entry is the fifth of the directory (its second sector)."""
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
    body = b"".join(entries) + payload + bytes(data_sectors * SECTOR - len(payload))
    return bytes(header) + fat + body


def make(folder, variants):
    os.makedirs(folder, exist_ok=True)
    files = []
    work = tempfile.mkdtemp()

    def add(name, data, category, extension):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        files.append({"file": name, "category": category, "extension": extension})

    def tool(name, category, extension, *command):
        """Runs a writer that makes work/name; the type is left out when the writer is missing or fails."""
        path = os.path.join(work, name)
        try:
            run(*[c.replace("@", path) for c in command])
            add(name, open(path, "rb").read(), category, extension)
        except (OSError, subprocess.CalledProcessError):
            pass

    have = {t: shutil.which(t) for t in ("convert", "ffmpeg", "ssconvert", "7z", "zstd")}
    for v in range(variants):
        size = "%dx%d" % (96 + 37 * (v % 9), 64 + 23 * (v % 7))
        seed = "plasma:fractal" if v % 2 else "gradient:red-blue"
        image = ["convert", "-seed", str(v + 1), "-size", size, seed]
        if have["convert"]:
            tool("photo%d.jpg" % v, "Photos", "jpg", *image, "-quality", str(60 + v % 30), "@")
            tool("thumb%d.jpg" % v, "Photos", "jpg", *image, "-resize", "32x24", "@")
            if len(files) >= 2 and files[-1]["file"] == "thumb%d.jpg" % v:
                thumb = open(os.path.join(folder, files.pop()["file"]), "rb").read()
                big = open(os.path.join(folder, "photo%d.jpg" % v), "rb").read()
                add("exif%d.jpg" % v, exif_jpeg(big, thumb), "Photos", "jpg")
            for extension, category in (("png", "Photos"), ("gif", "Photos"), ("bmp", "Photos"), ("tif", "Photos"),
                                        ("webp", "Photos"), ("psd", "Photos"), ("jp2", "Photos")):
                tool("image%d.%s" % (v, extension), category, extension, *image, "@")
        if have["ffmpeg"]:
            seconds = str(1 + v % 3)
            tone = ["ffmpeg", "-y", "-f", "lavfi", "-i", "sine=frequency=%d:duration=%s" % (300 + 50 * v, seconds)]
            video = ["ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=" + seconds,
                     "-f", "lavfi", "-i", "sine=frequency=%d:duration=%s" % (400 + 30 * v, seconds)]
            tool("song%d.mp3" % v, "Audio", "mp3", *tone, "-c:a", "libmp3lame", "-b:a", "64k",
                 "-metadata", "title=Song %d" % v, "@")
            tool("sound%d.wav" % v, "Audio", "wav", *tone, "-ar", "8000", "@")
            tool("sound%d.flac" % v, "Audio", "flac", *tone, "@")
            tool("sound%d.ogg" % v, "Audio", "ogg", *tone, "-c:a", "libvorbis", "@")
            tool("sound%d.m4a" % v, "Audio", "m4a", *tone, "-c:a", "aac", "-b:a", "48k", "@")
            tool("clip%d.mp4" % v, "Video", "mp4", *video, "-c:v", "mpeg4", "-c:a", "aac", "-shortest", "@")
            tool("clip%d.mov" % v, "Video", "mov", *video, "-c:v", "mjpeg", "-c:a", "aac", "-shortest", "@")
            tool("clip%d.avi" % v, "Video", "avi", *video, "-c:v", "mpeg4", "-c:a", "libmp3lame", "-shortest", "@")
            tool("clip%d.mkv" % v, "Video", "mkv", *video, "-c:v", "mpeg4", "-c:a", "libvorbis", "-shortest", "@")
            tool("clip%d.flv" % v, "Video", "flv", *video, "-c:v", "flv", "-c:a", "libmp3lame", "-ar", "22050",
                 "-shortest", "@")
            tool("clip%d.mpg" % v, "Video", "mpg", *video, "-r", "25", "-c:v", "mpeg1video", "-c:a", "mp2", "-shortest",
                 "-f", "mpeg", "@")
            tool("clip%d.wmv" % v, "Video", "wmv", *video, "-c:v", "wmv2", "-c:a", "wmav2", "-shortest", "@")
            tool("clip%d.3gp" % v, "Video", "3gp", *["ffmpeg", "-y", "-f", "lavfi", "-i",
                 "testsrc=size=176x144:rate=10:duration=" + seconds], "-c:v", "h263", "@")
        text = prose(v, 40 + 9 * v)
        if have["ssconvert"]:
            csv = os.path.join(work, "table%d.csv" % v)
            with open(csv, "w") as f:
                f.write("\n".join("%d,%s,%d" % (r, "item%d" % (r * v), r * r) for r in range(30 + 20 * v)))
            tool("gnumeric%d.xls" % v, "Documents", "xls", "ssconvert", csv, "@")
            tool("gnumeric95_%d.xls" % v, "Documents", "xls", "ssconvert", "-T", "Gnumeric_Excel:excel_biff7", csv, "@")
        try:  # a second writer of compound documents: Python's xlwt (Debian's python3-xlwt)
            sys.path.append("/usr/lib/python3/dist-packages")
            import xlwt
            book = xlwt.Workbook()
            sheet = book.add_sheet("Sheet %d" % v)
            for r in range(20 + 30 * v):
                sheet.write(r, 0, "row %d" % r)
                sheet.write(r, 1, r * v)
            buffer = io.BytesIO()
            book.save(buffer)
            add("xlwt%d.xls" % v, buffer.getvalue(), "Documents", "xls")
        except ImportError:
            pass
        for stream, extension in (("WordDocument", "doc"), ("Workbook", "xls"), ("PowerPoint Document", "ppt")):
            payload = (text * (4096 // len(text) + 2))[:4096 + 700 * v]
            add("late%d.%s" % (v, extension), compound_late_stream(stream, payload), "Documents", extension)

        def archive(entries, stored_first=False):
            buffer = io.BytesIO()
            with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
                for k, (name, data) in enumerate(entries):
                    z.writestr(name, data, zipfile.ZIP_STORED if stored_first and k == 0 else zipfile.ZIP_DEFLATED)
            return buffer.getvalue()
        types = b'<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
        add("archive%d.zip" % v, archive([("a.txt", text), ("b.txt", text[::-1])]), "Archives", "zip")
        add("report%d.docx" % v, archive([("[Content_Types].xml", types), ("word/document.xml", text)]),
            "Documents", "docx")
        add("sheet%d.xlsx" % v, archive([("[Content_Types].xml", types), ("xl/workbook.xml", text)]),
            "Documents", "xlsx")
        add("slides%d.pptx" % v, archive([("[Content_Types].xml", types), ("ppt/presentation.xml", text)]),
            "Documents", "pptx")
        for extension, kind in (("odt", "text"), ("ods", "spreadsheet")):
            add("office%d.%s" % (v, extension), archive([("mimetype", b"application/vnd.oasis.opendocument." +
                kind.encode()), ("content.xml", text)], stored_first=True), "Documents", extension)
        add("book%d.epub" % v, archive([("mimetype", b"application/epub+zip"), ("OEBPS/a.xhtml", text)],
                                        stored_first=True), "Documents", "epub")
        add("tool%d.jar" % v, archive([("META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\n"), ("A.class", text)]),
            "Programs", "jar")
        add("paper%d.pdf" % v, pdf(v), "Documents", "pdf")
        add("note%d.rtf" % v, rtf(v), "Documents", "rtf")
        add("tune%d.mid" % v, midi(v), "Audio", "mid")
        database = os.path.join(work, "data%d.db" % v)
        with sqlite3.connect(database) as connection:
            connection.execute("CREATE TABLE t (name TEXT, size INTEGER)")
            connection.executemany("INSERT INTO t VALUES (?, ?)", [("f%d" % i, i) for i in range(100 + 150 * v)])
        connection.close()
        add("data%d.db" % v, open(database, "rb").read(), "Databases", "db")
        tar = io.BytesIO()
        with tarfile.open(fileobj=tar, mode="w", format=tarfile.USTAR_FORMAT) as bundle:
            info = tarfile.TarInfo("notes.txt")
            info.size = len(text)
            bundle.addfile(info, io.BytesIO(text))
        add("bundle%d.tar" % v, tar.getvalue(), "Archives", "tar")
        plain = os.path.join(work, "plain%d.txt" % v)
        with open(plain, "wb") as f:
            f.write(text * 3)
        if have["7z"]:
            tool("pack%d.7z" % v, "Archives", "7z", "7z", "a", "-bd", "@", plain)
        if have["zstd"]:
            tool("pack%d.zst" % v, "Archives", "zst", "zstd", "-q", "-f", plain, "-o", "@")
    shutil.rmtree(work)
    for f in files:
        data = open(os.path.join(folder, f["file"]), "rb").read()
        f["size"], f["sha256"] = len(data), hashlib.sha256(data).hexdigest()
    json.dump(files, open(os.path.join(folder, "manifest.json"), "w"), indent=1)
    print("%d files of %d types" % (len(files), len({f["extension"] for f in files})))


def plant(folder, disk, mib, count):
    files = json.load(open(os.path.join(folder, "manifest.json")))
    rng = random.Random(19)
    block = rng.randbytes(1 << 20)
    with open(disk, "wb") as out:  # other data everywhere: each MiB a little different
        for m in range(mib):
            out.write(struct.pack("<Q", m * 2654435761) + block[8:])
    total = mib * 2048
    # The types take turns, so every type is planted about equally often.
    by_type = {}
    for f in files:
        by_type.setdefault(f["extension"], []).append(f)
    order = [f for group in zip(*by_type.values()) for f in group] or files
    chosen = [order[k % len(order)] for k in range(count)]
    room = total - sum((f["size"] + SECTOR - 1) // SECTOR for f in chosen)
    gap = max(1, room // (count + 1))
    placed, sector = [], 1
    with open(disk, "r+b") as out:
        for k, f in enumerate(chosen):
            sectors = (f["size"] + SECTOR - 1) // SECTOR
            if k % 8 == 4 and sectors > 1:  # across a block boundary: one sector before it
                sector = (sector // BLOCK + 1) * BLOCK - 1
            if sector + sectors >= total:
                break
            data = open(os.path.join(folder, f["file"]), "rb").read()
            out.seek(sector * SECTOR)
            out.write(data)
            followed = k % 3 == 0  # directly by other data; the rest end in zeroed slack
            if not followed:
                out.write(bytes(sectors * SECTOR - len(data)))
            placed.append(dict(f, sector=sector, followed=followed))
            sector += sectors + rng.randrange(1, 2 * gap)
    json.dump(placed, open(disk + ".placed.json", "w"), indent=1)
    print("%d files planted on %d MiB" % (len(placed), mib))


def found_files(node, path=()):
    for child in node["children"]:
        if child["children"] or child["status"] & 2:
            yield from found_files(child, path + (child["name"],))
        else:
            yield path, child


def check(placed_path, scan_path, disk, recovered=None):
    placed = json.load(open(placed_path))
    scan = json.load(open(scan_path))
    found = {}
    for path, node in found_files(scan["root"]["children"][0]):
        found.setdefault(node["location"], []).append((path, node))
    whole, failures = 0, []
    with open(disk, "rb") as image:
        for p in placed:
            match = [(path, n) for path, n in found.get(p["sector"], []) if path == (p["category"], p["extension"])]
            if not match:
                failures.append("%s at %d: not found as %s/%s" % (p["file"], p["sector"], p["category"], p["extension"]))
                continue
            path, node = match[0]
            if node["size"] < p["size"]:
                failures.append("%s: cut short to %d of %d bytes" % (p["file"], node["size"], p["size"]))
                continue
            if recovered:
                copy = os.path.join(recovered, "Raw Data", *path, node["name"])
                data = open(copy, "rb").read() if os.path.isfile(copy) else b""
            else:
                image.seek(p["sector"] * SECTOR)
                data = image.read(node["size"])
            if hashlib.sha256(data).hexdigest() != p["sha256"]:
                failures.append("%s: %d bytes, not the %d written" % (p["file"], len(data), p["size"]))
                continue
            whole += 1
    for failure in failures:
        print("not whole:", failure)
    print("%d of %d planted files found whole" % (whole, len(placed)))
    return whole, len(placed)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif command == "plant":
        plant(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    elif command == "check":
        whole, total = check(*sys.argv[2:])
        minimum = int(os.environ.get("MIN_WHOLE", total))
        sys.exit(0 if whole >= minimum else 1)
    else:
        sys.exit("unknown command " + command)
