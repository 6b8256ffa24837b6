// SPDX-License-Identifier: GPL-3.0-or-later
// Photoshop images: the header, three length-prefixed sections, then the merged image data,
// raw or run-length coded (its row lengths precede it).
#include "FormatEnds.h"

namespace restora {

uint64_t PsdEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "8BPS")) return 0;
  uint16_t version = 0, channels = 0, depth = 0;
  uint32_t height = 0, width = 0;
  if (!bytes.U16BE(4, version) || version != 1 || !bytes.U16BE(12, channels) || !bytes.U32BE(14, height) ||
      !bytes.U32BE(18, width) || !bytes.U16BE(22, depth)) {
    return 0;
  }
  if (channels == 0 || channels > 56 || height == 0 || width == 0 || height > 300000 || width > 300000) return 0;
  uint64_t at = 26;
  for (int section = 0; section < 3; ++section) {  // colour mode data, resources, layers and masks
    uint32_t length = 0;
    if (!bytes.U32BE(at, length)) return 0;
    at += 4 + uint64_t{length};
  }
  uint16_t compression = 0;
  if (!bytes.U16BE(at, compression)) return 0;
  at += 2;
  const uint64_t rows = uint64_t{channels} * height;
  if (compression == 0) {
    at += rows * ((uint64_t{width} * depth + 7) / 8);
  } else if (compression == 1) {
    uint64_t data = 0;
    for (uint64_t row = 0; row < rows; ++row) {
      uint16_t length = 0;
      if (!bytes.U16BE(at + row * 2, length)) return 0;
      data += length;
    }
    at += rows * 2 + data;
  } else {
    return 0;
  }
  return bytes.Holds(0, at) ? at : 0;
}

}  // namespace restora
