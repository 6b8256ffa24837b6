// SPDX-License-Identifier: GPL-3.0-or-later
// Windows bitmaps: the file size the header records, or, where a writer left it short, the
// pixel offset plus the pixel rows the dimensions need.
#include "FormatEnds.h"

#include <algorithm>

namespace restora {

uint64_t BmpEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "BM")) return 0;
  uint32_t fileSize = 0, pixelsAt = 0, headerSize = 0, compression = 0, imageSize = 0;
  uint32_t width = 0, height = 0;
  uint16_t bitsPerPixel = 0;
  if (!bytes.U32LE(2, fileSize) || !bytes.U32LE(10, pixelsAt) || !bytes.U32LE(14, headerSize) ||
      !bytes.U32LE(18, width) || !bytes.U32LE(22, height) || !bytes.U16LE(28, bitsPerPixel) ||
      !bytes.U32LE(30, compression) || !bytes.U32LE(34, imageSize)) {
    return 0;
  }
  if (headerSize < 12 || pixelsAt < 14 + uint64_t{headerSize}) return 0;
  uint64_t pixels = imageSize;
  if (compression == 0 || compression == 3) {  // uncompressed rows, each padded to 4 bytes
    const int32_t rows = static_cast<int32_t>(height);
    const uint64_t rowCount = rows < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(rows)) : rows;
    const uint64_t rowBytes = ((uint64_t{width} * bitsPerPixel + 31) / 32) * 4;
    if (width > 0x7FFFFFFF || rowCount > 0x7FFFFFFF) return 0;
    pixels = std::max<uint64_t>(pixels, rowBytes * rowCount);
  }
  const uint64_t needed = uint64_t{pixelsAt} + pixels;
  const uint64_t end = std::max<uint64_t>(fileSize, needed);
  return end >= 26 && bytes.Holds(0, end) ? end : 0;
}

}  // namespace restora
