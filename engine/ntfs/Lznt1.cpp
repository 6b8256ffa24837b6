// SPDX-License-Identifier: GPL-3.0-or-later
// LZNT1 chunk test and decompression.
#include "Lznt1.h"

#include <algorithm>

namespace restora {

namespace {

constexpr uint16_t kChunkSizeMask = 0x0FFF;
constexpr uint16_t kChunkCompressed = 0x8000;

// Bits of a back-reference token that hold the length, at position p of the decompressed chunk:
// 12 at the start, one less each time the position doubles past 16, so that the displacement
// can reach every byte already produced.
unsigned LengthBits(size_t p) {
  unsigned lengthBits = 12;
  if (p == 0) return lengthBits;
  for (size_t rest = p - 1; rest >= 16 && lengthBits > 0; rest >>= 1) --lengthBits;
  return lengthBits;
}

// Decodes the tokens of one compressed chunk whose stored bytes are unit[begin, end) into
// output[o, …). Returns p, the bytes produced; stops when the output is full.
size_t DecodeCompressedChunk(Bytes unit, size_t begin, size_t end, MutableBytes output, size_t o) {
  const size_t room = output.size() - o;
  size_t p = 0;
  size_t q = begin;
  while (q < end) {
    const uint8_t flags = LoadU8(unit, q++);
    for (unsigned bit = 0; bit < 8 && q < end; ++bit) {
      if ((flags & (1u << bit)) == 0) {
        if (p >= room) return p;
        output[o + p++] = LoadU8(unit, q++);
        continue;
      }
      if (end - q < 2) return p;  // a token cut by the chunk's end
      const uint16_t token = LoadU16(unit, q);
      q += 2;
      const unsigned lengthBits = LengthBits(p);
      const size_t length = (token & ((1u << lengthBits) - 1)) + 3;
      const size_t displacement = (static_cast<size_t>(token) >> lengthBits) + 1;
      size_t from = displacement > p ? 0 : p - displacement;
      // Byte by byte, so that a copy overlapping what it produces repeats it.
      for (size_t k = 0; k < length; ++k) {
        if (p >= room) return p;
        output[o + p++] = output[o + from++];
      }
    }
  }
  return p;
}

}  // namespace

int IsCompressedUnit(Bytes unit) {
  const size_t n = unit.size();
  size_t p = 0;
  for (;;) {
    const size_t stored = LoadU16(unit, p) & kChunkSizeMask;
    p += 2;
    if (stored != 0) p += stored + 1;
    if (p >= n) return p == n ? 1 : 0;
    if (stored == 0) return 1;  // the end mark, inside the unit
  }
}

size_t DecompressUnit(Bytes unit, MutableBytes output) {
  std::fill(output.begin(), output.end(), uint8_t{0});
  const size_t unitBytes = output.size();
  size_t i = 0;
  size_t o = 0;
  while (i < unit.size() && o < unitBytes) {
    const uint16_t header = LoadU16(unit, i);
    i += 2;
    if ((header & kChunkSizeMask) == 0) break;
    const size_t stored = static_cast<size_t>(header & kChunkSizeMask) + 1;
    if ((header & kChunkCompressed) == 0) {
      if (stored > unitBytes - o) {
        o = unitBytes;
        break;
      }
      // A stored chunk; bytes past the unit's end stay zero.
      if (i < unit.size()) {
        const size_t available = std::min(stored, unit.size() - i);
        std::copy_n(unit.begin() + static_cast<std::ptrdiff_t>(i), available,
                    output.begin() + static_cast<std::ptrdiff_t>(o));
      }
      o += stored;
    } else {
      o += DecodeCompressedChunk(unit, i, i + stored, output, o);
    }
    i += stored;
  }
  return o;
}

}  // namespace restora
