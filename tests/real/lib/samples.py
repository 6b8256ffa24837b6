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
#                                      its end, the last ending at the disk's end, a third followed directly by
#                                      other data; writes DISK.placed.json
#   samples.py locate FOLDER IMAGE     where a FAT volume put them (istat); IMAGE.placed.json
#   samples.py check PLACED SCAN.json SOURCE [--saved DIR]
#                                      every placed file found at its sector under its
#                                      type with its own size and bytes, saved with them below
#                                      DIR, and nothing else found
#
# One file for each reader of a format's end (and for the ZIP documents' kinds). Writers: ImageMagick
# (photos), ffmpeg (audio and video), gnumeric's ssconvert, Python's zipfile, tar, sqlite3, 7z, zstd, gzip,
# bzip2 and xz; a JPEG with an Exif thumbnail, a PDF with two revisions, RTF and MIDI are built here.
#
import argparse, hashlib, io, json, os, random, re, shutil, struct, subprocess, sys, tempfile, zipfile

SECTOR, READ = 512, 16 * 63


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


def pdf():  # a document updated once: an end-of-file comment per revision, the second one ends it
    objects = b"%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\n(" + prose(20) + b")\nendobj\n"
    first = objects + b"xref\n0 3\ntrailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % len(objects)
    return first + b"2 0 obj\n(revised)\nendobj\ntrailer\n<< /Size 3 /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects), len(first))


def midi():
    rng = random.Random(5)
    track = b"".join(bytes([0, 0x90, 60 + rng.randrange(12), 100, 96, 0x80, 60, 0]) for _ in range(50)) + b"\x00\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(track)) + track


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
    thumb = subprocess.run([*image, "-resize", "32x24", "jpg:-"], check=True, capture_output=True).stdout
    add("exif.jpg", exif_jpeg(open(os.path.join(folder, "photo.jpg"), "rb").read(), thumb), "Photos")
    for extension in ("png", "gif", "bmp", "tif", "psd"):
        tool("image." + extension, "Photos", *image, "@")
    tone = ["ffmpeg", "-y", "-f", "lavfi", "-i", "sine=frequency=300:duration=1"]
    video = ["ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", *tone[2:]]
    for name, options in (("song.mp3", "-c:a libmp3lame -b:a 64k -metadata title=Song"), ("sound.wav", "-ar 8000"),
                          ("sound.flac", ""), ("sound.ogg", "-c:a libvorbis")):
        tool(name, "Audio", *tone, *options.split(), "@")
    for name, options in (("clip.mp4", "-c:v mpeg4 -c:a aac"), ("clip.mkv", "-c:v mpeg4 -c:a libvorbis"),
                          ("clip.flv", "-c:v flv -c:a libmp3lame -ar 22050"), ("clip.wmv", "-c:v wmv2 -c:a wmav2"),
                          ("clip.mpg", "-r 25 -c:v mpeg1video -c:a mp2 -f mpeg")):
        tool(name, "Video", *video, *options.split(), "-shortest", "@")
    text = prose(40)
    with open(os.path.join(work, "plain.txt"), "wb") as f:
        f.write(text * 3)
    with open(os.path.join(work, "table.csv"), "w") as f:
        f.write("\n".join("%d,item%d,%d" % (r, r, r * r) for r in range(30)))
    tool("bundle.tar", "Archives", "tar", "-cf", "@", "-C", work, "plain.txt", "table.csv")  # a header inside
    tool("gnumeric.xls", "Documents", "ssconvert", os.path.join(work, "table.csv"), "@")
    types = b'<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
    add("archive.zip", archive([("a.txt", text), ("b.txt", text[::-1])]), "Archives")
    add("report.docx", archive([("[Content_Types].xml", types), ("word/document.xml", text)]), "Documents")
    add("office.odt", archive([("mimetype", b"application/vnd.oasis.opendocument.text"), ("content.xml", text)],
                              stored_first=True), "Documents")
    add("paper.pdf", pdf(), "Documents")
    add("note.rtf", b"{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\f0 " + prose(30).replace(b"\n", b"\\par ") + b"}\r\n", "Documents")
    add("tune.mid", midi(), "Audio")
    tool("data.db", "Databases", "sqlite3", "@", "CREATE TABLE t AS WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL "
         "SELECT i + 1 FROM c WHERE i < 2000) SELECT i, 'file ' || i AS name FROM c")
    for extension, packer in (("gz", "gzip -9"), ("bz2", "bzip2"), ("xz", "xz")):  # streams that state no size
        tool("text." + extension, "Archives", "sh", "-c", packer + " -c " + os.path.join(work, "plain.txt") + " > @")
    tool("pack.7z", "Archives", "7z", "a", "-bd", "@", os.path.join(work, "plain.txt"))
    tool("pack.zst", "Archives", "zstd", "-q", "-f", os.path.join(work, "plain.txt"), "-o", "@")
    shutil.rmtree(work)
    for f in files:
        data = open(os.path.join(folder, f["file"]), "rb").read()
        f["size"], f["sha256"] = len(data), hashlib.sha256(data).hexdigest()
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
            else:
                sector = cursor
            assert cursor <= sector and sector + sectors <= total, "the disk is too small"
            data = open(os.path.join(folder, f["file"]), "rb").read()
            out.seek(sector * SECTOR)
            out.write(data + (b"" if k % 3 == 0 else bytes(sectors * SECTOR - len(data))))
            placed.append(dict(f, sector=sector))
            cursor = sector + sectors + rng.randrange(gap // 2, gap)
    assert not anchors, "a read boundary was left out"
    json.dump(placed, open(disk + ".placed.json", "w"), indent=1)


def locate(args, folder, image):
    # Where FAT put each sample: its first sector, from The Sleuth Kit's istat.
    samples = {s["file"]: s for s in json.load(open(os.path.join(folder, "manifest.json")))}
    listing = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True, text=True).stdout
    placed = []
    for match in re.finditer(r"^r/r (\* )?(\d+):\s+(.*)$", listing, re.M):
        name = match.group(3)  # FAT marks a deleted entry in its first byte: "_etter.doc"
        name = next((s for s in samples if s[1:] == name[1:]), name) if match.group(1) else name
        if name in samples:
            detail = subprocess.run(["istat", image, match.group(2)], check=True, capture_output=True, text=True).stdout
            placed.append(dict(samples[name], sector=int(re.search(r"^Sectors:\s*\n\s*(\d+)", detail, re.M).group(1))))
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
    placed = json.load(open(placed))
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
            expected = (p["size"], p["sector"], 1 if scan["kind"] == "Disk" else 2)
            if (node["size"], start_of(node, scan), node["carveSource"]) != expected:
                failures.append("%s: size, start, carveSource %s, expected %s" % (
                    p["file"], (node["size"], start_of(node, scan), node["carveSource"]), expected))
            source.seek(p["sector"] * SECTOR)
            copies = [("found", source.read(p["size"]))]
            if args.saved:
                copy = os.path.join(args.saved, "Raw Data", *key[0], key[1])
                copies.append(("saved", open(copy, "rb").read() if os.path.isfile(copy) else b""))
            for what, data in copies:
                if hashlib.sha256(data).hexdigest() != p["sha256"]:
                    failures.append("%s: %d bytes %s, not the %d written" % (p["file"], len(data), what, p["size"]))
            whole += failed == len(failures)
    # Hits inside a placed file of another type are that file's content; one of its own type (an
    # MPEG pack, a tar member's header) is part of it, not a file of its own.
    inside = lambda node, name: any(0 <= start_of(node, scan) - p["sector"] < p["size"] / SECTOR and
                                    not name.endswith("." + p["extension"]) for p in placed)
    failures += ["found where nothing was put, or inside a file of its type: %s/%s" % ("/".join(path), name)
                 for (path, name), node in sorted(found.items()) if not inside(node, name)]
    for failure in failures:
        print("FAIL:", failure)
    print("%d of %d placed files found whole (%s)" % (whole, len(placed), name))
    return 1 if failures or not placed else 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=("make", "plant", "locate", "check"))
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--saved")
    args = parser.parse_args()
    sys.exit(globals()[args.command](args, *args.paths))
