// SPDX-License-Identifier: GPL-3.0-or-later
// RIFF files (WAVE, AVI, WebP) and the IFF form of DjVu: the size of the outer chunk. An AVI
// larger than its first RIFF chunk continues in "AVIX" chunks right behind it.
#include "FormatEnds.h"

namespace restora {

uint64_t RiffEnd(FileBytes& bytes, std::string_view form) {
  uint32_t size = 0;
  if (!bytes.Equals(0, "RIFF") || !bytes.Equals(8, form) || !bytes.U32LE(4, size) || size < 4) return 0;
  uint64_t end = 8 + uint64_t{size} + (size & 1);
  if (!bytes.Holds(0, end)) return 0;
  while (form == "AVI " && bytes.Equals(end, "RIFF") && bytes.Equals(end + 8, "AVIX")) {
    if (!bytes.U32LE(end + 4, size) || size < 4 || !bytes.Holds(end, 8 + uint64_t{size})) break;
    end += 8 + uint64_t{size} + (size & 1);
  }
  return end;
}

uint64_t DjvuEnd(FileBytes& bytes) {
  uint32_t size = 0;
  if (!bytes.Equals(0, "AT&TFORM") || !bytes.U32BE(8, size) || size < 4) return 0;
  const uint64_t end = 12 + uint64_t{size};
  return bytes.Holds(0, end) ? end : 0;
}

}  // namespace restora
