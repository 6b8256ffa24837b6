// SPDX-License-Identifier: GPL-3.0-or-later
// Video containers that chain their parts: Matroska/WebM (EBML elements), Flash video (tags
// with back-pointers) and MPEG program streams (packs and packets to the end code, or to where
// they stop when a writer left the end code out).
#include "FormatEnds.h"

namespace restora {

namespace {

constexpr uint64_t kMaxParts = 1 << 24;

// An EBML number: the count of leading zero bits of the first byte gives its length. For a size
// the length marker bit is dropped; a size of all ones means "unknown".
bool EbmlNumber(FileBytes& bytes, uint64_t& at, bool isSize, uint64_t& value, bool& unknown) {
  uint8_t first = 0;
  if (!bytes.U8(at, first) || first == 0) return false;
  int length = 1;
  while ((first & (0x80 >> (length - 1))) == 0) ++length;
  value = isSize ? first & (0xFF >> length) : first;
  bool allOnes = value == static_cast<uint64_t>(0xFF >> length);
  for (int i = 1; i < length; ++i) {
    uint8_t byte = 0;
    if (!bytes.U8(at + static_cast<uint64_t>(i), byte)) return false;
    value = (value << 8) | byte;
    allOnes = allOnes && byte == 0xFF;
  }
  at += static_cast<uint64_t>(length);
  unknown = isSize && allOnes;
  return true;
}

}  // namespace

uint64_t MatroskaEnd(FileBytes& bytes) {
  uint64_t at = 0;
  bool segment = false;
  for (int element = 0; element < 2; ++element) {  // the EBML header, then the segment
    uint64_t id = 0, size = 0;
    bool unknown = false;
    if (!EbmlNumber(bytes, at, false, id, unknown) || !EbmlNumber(bytes, at, true, size, unknown) || unknown) return 0;
    if (element == 0 && id != 0x1A45DFA3) return 0;
    if (element == 1) segment = id == 0x18538067;
    if (size > bytes.Bound()) return 0;
    at += size;
  }
  return segment && bytes.Holds(0, at) ? at : 0;
}

uint64_t FlvEnd(FileBytes& bytes) {
  uint32_t headerSize = 0, previous = 0;
  if (!bytes.Equals(0, "FLV\x01") || !bytes.U32BE(5, headerSize) || headerSize < 9 ||
      !bytes.U32BE(headerSize, previous) || previous != 0) {
    return 0;
  }
  uint64_t at = uint64_t{headerSize} + 4;
  uint64_t tags = 0;
  for (; tags < kMaxParts; ++tags) {
    uint8_t type = 0;
    uint32_t size = 0, back = 0;
    if (!bytes.U8(at, type) || ((type & 0x1F) != 8 && (type & 0x1F) != 9 && (type & 0x1F) != 18)) break;
    if (!bytes.U24BE(at + 1, size) || !bytes.U32BE(at + 11 + size, back) || back != 11 + size) break;
    at += 11 + uint64_t{size} + 4;
  }
  return tags > 0 ? at : 0;
}

uint64_t MpegPsEnd(FileBytes& bytes) {
  uint64_t at = 0;
  for (uint64_t part = 0; part < kMaxParts; ++part) {
    uint32_t code = 0;
    if (!bytes.U32BE(at, code)) return 0;
    // Many writers leave out the end code: the stream then ends where its packs stop.
    if ((code >> 8) != 1) return part > 0 ? at : 0;
    const uint8_t id = code & 0xFF;
    if (id == 0xB9) return at + 4;  // end code
    if (id == 0xBA) {               // pack header: MPEG-2 (with stuffing) or MPEG-1
      uint8_t mode = 0, stuffing = 0;
      if (!bytes.U8(at + 4, mode)) return 0;
      if ((mode & 0xC0) == 0x40) {
        if (!bytes.U8(at + 13, stuffing)) return 0;
        at += 14 + (stuffing & 7);
      } else if ((mode & 0xF0) == 0x20) {
        at += 12;
      } else {
        return 0;
      }
      continue;
    }
    if (id < 0xBB) return 0;
    uint16_t length = 0;  // system header and packets: a 16-bit length follows the code
    if (!bytes.U16BE(at + 4, length)) return 0;
    at += 6 + uint64_t{length};
    if (!bytes.Holds(0, at)) return 0;
  }
  return 0;
}

}  // namespace restora
