// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of one found file as its end readers see them: offsets count from the file's first
// byte, and nothing at or past the bound (the largest size the file may have) can be read.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace restora {

class FileBytes {
 public:
  // Delivers up to buffer.size() bytes at offset (from the file's start) and returns how many
  // it delivered; fewer than asked only at the end of what can be read.
  using Fetch = std::function<size_t(uint64_t offset, std::span<uint8_t> buffer)>;

  // Not found, for the searches below.
  static constexpr uint64_t kNone = ~uint64_t{0};

  FileBytes(uint64_t bound, Fetch fetch);

  // Bytes held in memory; the bound is their count.
  static FileBytes Of(std::span<const uint8_t> bytes);

  uint64_t Bound() const { return bound_; }

  // Copies out.size() bytes at offset into out. Returns false when any of them lies at or past
  // the bound or could not be read (out is then unspecified).
  bool Read(uint64_t offset, std::span<uint8_t> out);

  // Whether length bytes at offset lie inside the bound (overflow-safe).
  bool Holds(uint64_t offset, uint64_t length) const { return offset <= bound_ && length <= bound_ - offset; }

  // Single values; false when they cannot be read.
  bool U8(uint64_t offset, uint8_t& value);
  bool U16LE(uint64_t offset, uint16_t& value);
  bool U16BE(uint64_t offset, uint16_t& value);
  bool U24BE(uint64_t offset, uint32_t& value);
  bool U32LE(uint64_t offset, uint32_t& value);
  bool U32BE(uint64_t offset, uint32_t& value);
  bool U64LE(uint64_t offset, uint64_t& value);
  bool U64BE(uint64_t offset, uint64_t& value);

  // A variable-length number of 7 bits a byte, low bits first, a set top bit meaning more (RAR 5,
  // xz); offset moves past it. False when it cannot be read or does not fit 64 bits.
  bool Base128(uint64_t& offset, uint64_t& value);

  // Whether the bytes at offset equal text.
  bool Equals(uint64_t offset, std::string_view text);

  // The first offset in [from, limit) where pattern begins (the pattern wholly before limit and
  // the bound), or kNone. Reads the range in large chunks.
  uint64_t Find(uint64_t from, uint64_t limit, std::string_view pattern);

  // The first offset in [from, limit) that holds byte, or kNone; walks the window, so it suits
  // markers that occur often (the 0xFF of JPEG data).
  uint64_t FindByte(uint64_t from, uint64_t limit, uint8_t byte);

  // The last such offset, or kNone. Reads the whole range once.
  uint64_t FindLast(uint64_t from, uint64_t limit, std::string_view pattern);

  // Bytes fetched from the source so far (for benchmarks and tests of the read budget).
  uint64_t FetchedBytes() const { return fetched_; }

 private:
  // Makes the window hold offset; false when nothing can be read there.
  bool Load(uint64_t offset);
  // Find (first) or FindLast, reading the range in large chunks past the window.
  uint64_t Scan(uint64_t from, uint64_t limit, std::string_view pattern, bool first);

  static constexpr size_t kScanBytes = 256 * 1024;
  static constexpr size_t kWindowBytes = 64 * 1024;
  static constexpr size_t kJumpBytes = 4 * 1024;

  uint64_t bound_;
  Fetch fetch_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  size_t windowLength_ = 0;
  uint64_t fetched_ = 0;
};

}  // namespace restora
