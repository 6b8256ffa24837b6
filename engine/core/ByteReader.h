// SPDX-License-Identifier: GPL-3.0-or-later
// Bounds-checked little-endian reads over a byte span. A read that does not fit the span yields
// 0, the value a zero-filled buffer would give, so a damaged structure can never make a parser
// read outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace restora {

using Bytes = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

// True when [offset, offset + length) lies inside the span (overflow-safe).
inline bool Fits(Bytes bytes, size_t offset, size_t length) {
  return offset <= bytes.size() && length <= bytes.size() - offset;
}

inline uint8_t LoadU8(Bytes bytes, size_t offset) { return offset < bytes.size() ? bytes[offset] : 0; }

inline uint16_t LoadU16(Bytes bytes, size_t offset) {
  if (!Fits(bytes, offset, 2)) return 0;
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t LoadU32(Bytes bytes, size_t offset) {
  if (!Fits(bytes, offset, 4)) return 0;
  return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) | (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline uint64_t LoadU64(Bytes bytes, size_t offset) {
  if (!Fits(bytes, offset, 8)) return 0;
  return static_cast<uint64_t>(LoadU32(bytes, offset)) | (static_cast<uint64_t>(LoadU32(bytes, offset + 4)) << 32);
}

inline void StoreU8(MutableBytes bytes, size_t offset, uint8_t value) {
  if (offset < bytes.size()) bytes[offset] = value;
}

inline void StoreU16(MutableBytes bytes, size_t offset, uint16_t value) {
  if (!Fits(bytes, offset, 2)) return;
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreU32(MutableBytes bytes, size_t offset, uint32_t value) {
  if (!Fits(bytes, offset, 4)) return;
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void StoreU64(MutableBytes bytes, size_t offset, uint64_t value) {
  if (!Fits(bytes, offset, 8)) return;
  for (size_t i = 0; i < 8; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace restora

namespace restora {

// a × b, false when the product does not fit 64 bits.
inline bool CheckedMul(uint64_t a, uint64_t b, uint64_t& product) {
  if (a != 0 && b > ~uint64_t{0} / a) return false;
  product = a * b;
  return true;
}

}  // namespace restora
