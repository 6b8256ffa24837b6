// SPDX-License-Identifier: GPL-3.0-or-later
// Greedy LZNT1 compression for test data.
#include "Lznt1Compressor.h"

#include <algorithm>

namespace restora::test {

namespace {

constexpr size_t kChunkBytes = 4096;

// The length/displacement split of a back-reference token at position p of a chunk.
unsigned DisplacementBits(size_t p) {
  unsigned bits = 4;
  while (p > 0 && (p - 1) >> bits != 0 && bits < 12) ++bits;
  return bits;
}

std::vector<uint8_t> CompressChunk(std::span<const uint8_t> chunk) {
  std::vector<uint8_t> out;
  size_t p = 0;
  while (p < chunk.size()) {
    const size_t flagAt = out.size();
    out.push_back(0);
    for (unsigned bit = 0; bit < 8 && p < chunk.size(); ++bit) {
      const unsigned displacementBits = DisplacementBits(p);
      const unsigned lengthBits = 16 - displacementBits;
      const size_t maxLength = (size_t{1} << lengthBits) - 1 + 3;
      const size_t maxDisplacement = size_t{1} << displacementBits;
      size_t bestLength = 0;
      size_t bestDisplacement = 0;
      for (size_t d = 1; d <= std::min(p, maxDisplacement); ++d) {
        size_t length = 0;
        while (length < maxLength && p + length < chunk.size() && chunk[p + length] == chunk[p - d + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDisplacement = d;
          if (length == maxLength) break;
        }
      }
      if (bestLength >= 3) {
        const uint16_t token =
            static_cast<uint16_t>(((bestDisplacement - 1) << lengthBits) | (bestLength - 3));
        out.push_back(static_cast<uint8_t>(token));
        out.push_back(static_cast<uint8_t>(token >> 8));
        out[flagAt] |= static_cast<uint8_t>(1u << bit);
        p += bestLength;
      } else {
        out.push_back(chunk[p++]);
      }
    }
  }
  std::vector<uint8_t> framed;
  // Only a full chunk is ever stored: a stored chunk of one byte would read as the end mark.
  if (out.size() < chunk.size() || chunk.size() < kChunkBytes) {
    const uint16_t header = static_cast<uint16_t>(0xB000 | (out.size() - 1));
    framed = {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)};
    framed.insert(framed.end(), out.begin(), out.end());
  } else {
    const uint16_t header = static_cast<uint16_t>(0x3000 | (chunk.size() - 1));
    framed = {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)};
    framed.insert(framed.end(), chunk.begin(), chunk.end());
  }
  return framed;
}

}  // namespace

std::vector<uint8_t> CompressLznt1(std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  for (size_t start = 0; start < data.size(); start += kChunkBytes) {
    const std::vector<uint8_t> chunk = CompressChunk(data.subspan(start, std::min(kChunkBytes, data.size() - start)));
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

}  // namespace restora::test
