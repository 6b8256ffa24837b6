// SPDX-License-Identifier: GPL-3.0-or-later
// Archives whose members are chained by their headers: RAR (1.5 to 4, and 5), tar and
// Zstandard frames.
#include "FormatEnds.h"

namespace restora {

namespace {

constexpr uint64_t kMaxBlocks = 1 << 22;

uint64_t Rar5End(FileBytes& bytes) {
  uint64_t at = 8;
  for (uint64_t block = 0; block < kMaxBlocks; ++block) {
    uint64_t cursor = at + 4;  // after the header's CRC32
    uint64_t headerSize = 0, type = 0, flags = 0, extra = 0, data = 0;
    if (!bytes.Base128(cursor, headerSize) || headerSize == 0 || headerSize > (1 << 21)) return 0;
    const uint64_t headerEnd = cursor + headerSize;
    if (!bytes.Base128(cursor, type) || !bytes.Base128(cursor, flags)) return 0;
    if ((flags & 1) != 0 && !bytes.Base128(cursor, extra)) return 0;
    if ((flags & 2) != 0 && !bytes.Base128(cursor, data)) return 0;
    if (type == 0 || type > 5 || data > bytes.Bound()) return 0;
    at = headerEnd + data;
    if (!bytes.Holds(0, at)) return 0;
    if (type == 5) return at;  // end of archive
  }
  return 0;
}

uint64_t Rar4End(FileBytes& bytes) {
  uint64_t at = 7;
  for (uint64_t block = 0; block < kMaxBlocks; ++block) {
    uint8_t type = 0;
    uint16_t flags = 0, size = 0;
    if (!bytes.U8(at + 2, type) || !bytes.U16LE(at + 3, flags) || !bytes.U16LE(at + 5, size) || size < 7) return 0;
    if (type < 0x72 || type > 0x7B) return 0;
    uint64_t data = 0;
    if ((flags & 0x8000) != 0 || type == 0x74 || type == 0x7A) {  // a data size follows the header
      uint32_t low = 0, high = 0;
      if (!bytes.U32LE(at + 7, low)) return 0;
      if ((type == 0x74 || type == 0x7A) && (flags & 0x100) != 0 && !bytes.U32LE(at + 32, high)) return 0;
      data = (uint64_t{high} << 32) | low;
    }
    at += size + data;
    if (!bytes.Holds(0, at)) return 0;
    if (type == 0x7B) return at;  // end of archive
  }
  return 0;
}

uint64_t OctalField(const uint8_t* field, size_t width, bool& ok) {
  uint64_t value = 0;
  size_t i = 0;
  while (i < width && field[i] == ' ') ++i;
  for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) value = value * 8 + (field[i] - '0');
  ok = i < width && (field[i] == 0 || field[i] == ' ') && value < (uint64_t{1} << 40);
  return value;
}

bool AllZero(FileBytes& bytes, uint64_t at, uint64_t length) {
  for (uint64_t i = 0; i < length; ++i) {
    uint8_t byte = 0;
    if (!bytes.U8(at + i, byte) || byte != 0) return false;
  }
  return true;
}

}  // namespace

uint64_t RarEnd(FileBytes& bytes) {
  if (bytes.Equals(0, std::string_view("Rar!\x1A\x07\x01\x00", 8))) return Rar5End(bytes);
  if (bytes.Equals(0, std::string_view("Rar!\x1A\x07\x00", 7))) return Rar4End(bytes);
  return 0;
}

uint64_t TarEnd(FileBytes& bytes) {
  for (uint64_t at = 0, entries = 0; entries < kMaxBlocks; ++entries) {
    uint8_t header[512];
    if (!bytes.Read(at, header)) return 0;
    bool empty = true;
    for (const uint8_t byte : header) empty = empty && byte == 0;
    if (empty) {
      // Two zero blocks end the archive; writers pad it with zeros to a whole record of 20 blocks.
      if (!AllZero(bytes, at + 512, 512)) return 0;
      uint64_t end = at + 1024;
      while (end % 10240 != 0 && AllZero(bytes, end, 512)) end += 512;
      return end;
    }
    bool ok = false;
    const uint64_t size = OctalField(header + 124, 12, ok);
    if (!ok) return 0;
    // The header checksum: its own field counts as blanks.
    uint64_t sum = 0;
    for (size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : header[i];
    if (OctalField(header + 148, 8, ok) != sum || !ok) return 0;
    at += 512 + (size + 511) / 512 * 512;
  }
  return 0;
}

uint64_t ZstdEnd(FileBytes& bytes) {
  uint8_t descriptor = 0;
  if (!bytes.Equals(0, "\x28\xB5\x2F\xFD") || !bytes.U8(4, descriptor) || (descriptor & 0x08) != 0) return 0;
  const uint8_t sizeFlag = descriptor >> 6;
  const bool singleSegment = (descriptor & 0x20) != 0;
  const uint8_t dictionaryFlag = descriptor & 3;
  static constexpr uint64_t kDictionaryBytes[4] = {0, 1, 2, 4};
  static constexpr uint64_t kSizeBytes[4] = {0, 2, 4, 8};
  uint64_t at = 5 + (singleSegment ? 0 : 1) + kDictionaryBytes[dictionaryFlag] +
                (sizeFlag == 0 && singleSegment ? 1 : kSizeBytes[sizeFlag]);
  for (uint64_t block = 0; block < kMaxBlocks; ++block) {
    uint32_t header = 0;
    uint8_t b[3];
    if (!bytes.Read(at, b)) return 0;
    header = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16);
    const bool last = (header & 1) != 0;
    const uint32_t type = (header >> 1) & 3;
    const uint32_t size = header >> 3;
    if (type == 3 || size > (1u << 17)) return 0;
    at += 3 + (type == 1 ? 1 : size);  // a run-length block holds one byte
    if (last) {
      if ((descriptor & 0x04) != 0) at += 4;  // content checksum
      return bytes.Holds(0, at) ? at : 0;
    }
  }
  return 0;
}

}  // namespace restora
