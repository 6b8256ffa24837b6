#!/usr/bin/env python3
"""Writes a raw "disk" image of pseudo-random bytes with real files of several types planted at
sector offsets, for the signature-search benchmark. usage: plant-files.py OUT.img SIZE_MIB PLANTED.tsv"""
import gzip, hashlib, io, os, random, struct, sys, wave, zipfile, zlib

def png(width, height, seed):
    rng = random.Random(seed)
    raw = b"".join(b"\0" + bytes(rng.randrange(256) for _ in range(width * 3)) for _ in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))

def bmp(width, height, seed):
    rng = random.Random(seed)
    row = (width * 3 + 3) & ~3
    pixels = bytes(rng.randrange(256) for _ in range(row * height))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels

def gif(seed):
    # A 1x1 image; the body is padded with a comment extension so sizes vary.
    rng = random.Random(seed)
    comment = bytes(rng.randrange(32, 127) for _ in range(200))
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
            b"\x21\xfe" + bytes([len(comment)]) + comment + b"\x00"
            b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b")

def zip_file(seed):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for k in range(3):
            archive.writestr(f"part{k}.txt", ("line %d of archive %d\n" % (k, seed)) * 500)
    return buffer.getvalue()

def gz_file(seed):
    return gzip.compress(("record %d\n" % seed).encode() * 4000, mtime=0)

def wav_file(seed):
    buffer = io.BytesIO()
    with wave.open(buffer, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        rng = random.Random(seed)
        w.writeframes(bytes(rng.randrange(256) for _ in range(16000)))
    return buffer.getvalue()

def pdf_file(seed):
    text = f"BT /F1 12 Tf 72 720 Td (Benchmark page {seed}) Tj ET".encode()
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
               b"<< /Length %d >>\nstream\n" % len(text) + text + b"\nendstream"]
    body, offsets = b"%PDF-1.4\n", []
    for number, obj in enumerate(objects, 1):
        offsets.append(len(body))
        body += b"%d 0 obj\n" % number + obj + b"\nendobj\n"
    xref = len(body)
    body += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    body += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    body += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return body

def jpeg_samples():
    found = []
    for folder in ("/usr/share/doc", "/usr/share/pixmaps", "/usr/share/backgrounds"):
        for base, _, names in os.walk(folder):
            for name in names:
                if name.lower().endswith((".jpg", ".jpeg")):
                    path = os.path.join(base, name)
                    with open(path, "rb") as f:
                        data = f.read()
                    if data[:3] == b"\xff\xd8\xff":
                        found.append(data)
    return found

def main():
    out, size_mib, planted = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    makers = [("png", lambda s: png(64, 48, s)), ("bmp", lambda s: bmp(40, 30, s)), ("gif", gif),
              ("zip", zip_file), ("gz", gz_file), ("wav", wav_file), ("pdf", pdf_file)]
    jpegs = jpeg_samples()
    if jpegs:
        makers.append(("jpg", lambda s: jpegs[s % len(jpegs)]))
    total_sectors = size_mib * 2048
    count = max(len(makers), min(400, total_sectors // 2048))
    rng = random.Random(2026)
    block = rng.randbytes(1 << 20)
    with open(out, "wb") as disk:
        for mib in range(size_mib):
            disk.write(struct.pack("<Q", mib) + block[8:])  # vary each MiB a little
        lines = []
        stride = total_sectors // count
        for k in range(count):
            ext, make = makers[k % len(makers)]
            data = make(k)
            sector = k * stride + 7 + (k * 13) % 50
            if (sector * 512 + len(data)) > total_sectors * 512:
                break
            disk.seek(sector * 512)
            disk.write(data)
            lines.append(f"{sector}\t{ext}\t{len(data)}\t{hashlib.sha256(data).hexdigest()}")
    with open(planted, "w") as f:
        f.write("\n".join(lines) + "\n")

main()
