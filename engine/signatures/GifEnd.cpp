// SPDX-License-Identifier: GPL-3.0-or-later
// GIF: the screen descriptor, then image and extension blocks to the trailer byte.
#include "FormatEnds.h"

namespace restora {

namespace {

// Steps over a run of data sub-blocks ending with an empty one; false when it does not end.
bool SkipSubBlocks(FileBytes& bytes, uint64_t& at) {
  while (true) {
    uint8_t size = 0;
    if (!bytes.U8(at, size)) return false;
    at += 1 + uint64_t{size};
    if (size == 0) return true;
  }
}

uint64_t ColourTableBytes(uint8_t flags) { return (flags & 0x80) != 0 ? uint64_t{3} << ((flags & 7) + 1) : 0; }

}  // namespace

uint64_t GifEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "GIF87a") && !bytes.Equals(0, "GIF89a")) return 0;
  uint8_t flags = 0;
  if (!bytes.U8(10, flags)) return 0;
  uint64_t at = 13 + ColourTableBytes(flags);
  while (true) {
    uint8_t block = 0;
    if (!bytes.U8(at, block)) return 0;
    if (block == 0x3B) return at + 1;
    if (block == 0x21) {  // extension: label, then sub-blocks
      at += 2;
    } else if (block == 0x2C) {  // image: descriptor, local colours, code size, sub-blocks
      if (!bytes.U8(at + 9, flags)) return 0;
      at += 10 + ColourTableBytes(flags) + 1;
    } else {
      return 0;
    }
    if (!SkipSubBlocks(bytes, at)) return 0;
  }
}

}  // namespace restora
