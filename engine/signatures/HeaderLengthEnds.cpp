// SPDX-License-Identifier: GPL-3.0-or-later
// Formats whose header records the file's length outright, or the few fields it adds up from:
// SQLite, 7-Zip, Cabinet, Compiled HTML Help, Outlook data files and ASF (Windows Media).
#include "FormatEnds.h"

namespace restora {

namespace {

uint64_t Checked(FileBytes& bytes, uint64_t end, uint64_t least) {
  return end >= least && bytes.Holds(0, end) ? end : 0;
}

}  // namespace

uint64_t SqliteEnd(FileBytes& bytes) {
  uint16_t pageSize = 0;
  uint32_t changes = 0, pages = 0, validFor = 0;
  if (!bytes.Equals(0, std::string_view("SQLite format 3\0", 16)) || !bytes.U16BE(16, pageSize) ||
      !bytes.U32BE(24, changes) || !bytes.U32BE(28, pages) || !bytes.U32BE(92, validFor)) {
    return 0;
  }
  const uint64_t size = pageSize == 1 ? 65536 : pageSize;
  if (size < 512 || (size & (size - 1)) != 0) return 0;
  // The page count is kept only by writers that also keep the change counter beside it.
  if (changes != validFor || pages == 0) return 0;
  return Checked(bytes, size * pages, size);
}

uint64_t SevenZipEnd(FileBytes& bytes) {
  uint64_t offset = 0, size = 0;
  if (!bytes.Equals(0, "7z\xBC\xAF\x27\x1C") || !bytes.U64LE(12, offset) || !bytes.U64LE(20, size)) return 0;
  if (offset > bytes.Bound() || size > bytes.Bound() || size == 0) return 0;
  return Checked(bytes, 32 + offset + size, 32);
}

uint64_t CabEnd(FileBytes& bytes) {
  uint32_t size = 0;
  if (!bytes.Equals(0, "MSCF") || !bytes.U32LE(8, size)) return 0;
  return Checked(bytes, size, 36);
}

uint64_t ChmEnd(FileBytes& bytes) {
  // The header section table's first entry points at a section that records the file size.
  uint64_t section = 0, size = 0;
  if (!bytes.Equals(0, "ITSF") || !bytes.U64LE(0x48, section) || section > bytes.Bound() ||
      !bytes.U64LE(section + 0x10, size)) {
    return 0;
  }
  return Checked(bytes, size, 0x60);
}

uint64_t PstEnd(FileBytes& bytes) {
  uint16_t version = 0;
  if (!bytes.Equals(0, "!BDN") || !bytes.U16LE(10, version)) return 0;
  if (version >= 23) {  // Unicode files keep 64-bit offsets
    uint64_t end = 0;
    return bytes.U64LE(0xB8, end) ? Checked(bytes, end, 512) : 0;
  }
  uint32_t end = 0;
  return version >= 14 && bytes.U32LE(0xA8, end) ? Checked(bytes, end, 512) : 0;
}

uint64_t AsfEnd(FileBytes& bytes) {
  static constexpr std::string_view kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
  static constexpr std::string_view kProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
  uint64_t headerSize = 0;
  uint32_t objects = 0;
  if (!bytes.Equals(0, kHeader) || !bytes.U64LE(16, headerSize) || !bytes.U32LE(24, objects)) return 0;
  uint64_t at = 30;
  for (uint32_t i = 0; i < objects && i < 1024 && at < headerSize; ++i) {
    uint64_t size = 0;
    if (!bytes.U64LE(at + 16, size) || size < 24) return 0;
    if (bytes.Equals(at, kProperties)) {
      uint64_t fileSize = 0;
      return bytes.U64LE(at + 40, fileSize) ? Checked(bytes, fileSize, headerSize) : 0;
    }
    if (size > bytes.Bound()) return 0;
    at += size;
  }
  return 0;
}

}  // namespace restora
