// SPDX-License-Identifier: GPL-3.0-or-later
// PNG (and animated PNG): the chunk walk to the IEND chunk.
#include "FormatEnds.h"

namespace restora {

namespace {

bool IsChunkLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

uint64_t PngEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "\x89PNG\r\n\x1A\n")) return 0;
  for (uint64_t at = 8;;) {
    uint32_t length = 0;
    uint8_t type[4];
    if (!bytes.U32BE(at, length) || length > 0x7FFFFFFF || !bytes.Read(at + 4, type)) return 0;
    for (const uint8_t c : type) {
      if (!IsChunkLetter(c)) return 0;
    }
    const uint64_t end = at + 12 + length;  // length, type, data, CRC
    if (!bytes.Holds(at, end - at)) return 0;
    if (type[0] == 'I' && type[1] == 'E' && type[2] == 'N' && type[3] == 'D') return end;
    at = end;
  }
}

}  // namespace restora
