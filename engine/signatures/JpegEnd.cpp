// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG: the walk over marker segments and entropy-coded scans to the end-of-image marker. The
// thumbnail that an Exif segment holds lies inside that segment and is stepped over with it;
// the extra images of a multi-picture file (an "MPF" segment) count to the end.
#include "FormatEnds.h"

#include <algorithm>

namespace restora {

namespace {

bool IsStandalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

// The end of the images that a multi-picture segment lists; offsets count from its TIFF header
// at tiffAt. Returns 0 when there are none.
uint64_t MultiPictureEnd(FileBytes& bytes, uint64_t tiffAt, uint64_t segmentEnd) {
  uint8_t order[2];
  if (!bytes.Read(tiffAt, order)) return 0;
  const bool big = order[0] == 'M' && order[1] == 'M';
  if (!big && !(order[0] == 'I' && order[1] == 'I')) return 0;
  auto u16 = [&](uint64_t at, uint16_t& v) { return big ? bytes.U16BE(at, v) : bytes.U16LE(at, v); };
  auto u32 = [&](uint64_t at, uint32_t& v) { return big ? bytes.U32BE(at, v) : bytes.U32LE(at, v); };
  uint32_t ifd = 0;
  uint16_t count = 0;
  if (!u32(tiffAt + 4, ifd) || !u16(tiffAt + ifd, count)) return 0;
  uint64_t end = 0;
  for (uint16_t i = 0; i < count && i < 64; ++i) {
    const uint64_t entry = tiffAt + ifd + 2 + uint64_t{i} * 12;
    uint16_t tag = 0;
    uint32_t length = 0, offset = 0;
    if (!u16(entry, tag) || !u32(entry + 4, length) || !u32(entry + 8, offset)) return 0;
    if (tag != 0xB002) continue;  // the MP entries: 16 bytes per image
    for (uint32_t k = 0; k + 16 <= length && k < 16 * 256; k += 16) {
      uint32_t size = 0, at = 0;
      if (!u32(tiffAt + offset + k + 4, size) || !u32(tiffAt + offset + k + 8, at)) return 0;
      if (at != 0) end = std::max(end, tiffAt + at + size);  // offset 0 is the primary image
    }
  }
  return end > segmentEnd ? end : 0;
}

}  // namespace

uint64_t JpegEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "\xFF\xD8")) return 0;
  uint64_t at = 2;
  uint64_t pictures = 0;
  while (true) {
    uint8_t byte = 0;
    if (!bytes.U8(at, byte) || byte != 0xFF) return 0;
    uint8_t marker = 0xFF;
    while (marker == 0xFF) {  // fill bytes may pad any marker
      if (!bytes.U8(++at, marker)) return 0;
    }
    ++at;
    if (marker == 0xD9) return std::max(at, pictures);
    if (IsStandalone(marker)) continue;
    if (marker == 0x00 || marker == 0xD8) return 0;
    uint16_t length = 0;
    if (!bytes.U16BE(at, length) || length < 2) return 0;
    const uint64_t segmentEnd = at + length;
    if (marker == 0xE2 && length >= 16 && bytes.Equals(at + 2, std::string_view("MPF\0", 4))) {
      pictures = std::max(pictures, MultiPictureEnd(bytes, at + 6, segmentEnd));
    }
    at = segmentEnd;
    if (marker != 0xDA) continue;
    // Entropy-coded data: a 0xFF is a marker unless a 0x00 (a stuffed byte) or a restart
    // marker follows it.
    while (true) {
      const uint64_t ff = bytes.FindByte(at, bytes.Bound(), 0xFF);
      uint8_t next = 0;
      if (ff == FileBytes::kNone || !bytes.U8(ff + 1, next)) return 0;
      if (next == 0x00 || IsStandalone(next)) {
        at = ff + 2;
        continue;
      }
      at = ff;
      break;
    }
  }
}

}  // namespace restora
