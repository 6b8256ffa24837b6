// SPDX-License-Identifier: GPL-3.0-or-later
// Bounded, windowed reads of a found file's bytes.
#include "FileBytes.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace restora {

FileBytes::FileBytes(uint64_t bound, Fetch fetch) : bound_(bound), fetch_(std::move(fetch)) {}

FileBytes FileBytes::Of(std::span<const uint8_t> bytes) {
  return FileBytes(bytes.size(), [bytes](uint64_t offset, std::span<uint8_t> buffer) -> size_t {
    if (offset >= bytes.size()) return 0;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes.size() - offset));
    std::memcpy(buffer.data(), bytes.data() + offset, count);
    return count;
  });
}

bool FileBytes::Load(uint64_t offset) {
  if (offset >= bound_) return false;
  if (offset >= windowStart_ && offset - windowStart_ < windowLength_) return true;
  // Windows start on 4 KiB steps, so reads that step back a little stay in the window. A read
  // that continues the last window (a scan) gets a large window; one that jumps (a walk over
  // headers) a small one, so stepping over large members does not read them.
  const uint64_t start = offset & ~uint64_t{4095};
  const bool sequential = windowLength_ > 0 && start == windowStart_ + windowLength_;
  const size_t want = sequential ? kWindowBytes : kJumpBytes;
  const size_t length = static_cast<size_t>(std::min<uint64_t>(want, bound_ - start));
  window_.resize(kWindowBytes);
  const size_t got = fetch_(start, std::span<uint8_t>(window_.data(), length));
  fetched_ += got;
  windowStart_ = start;
  windowLength_ = std::min(got, length);
  return offset - windowStart_ < windowLength_;
}

bool FileBytes::Read(uint64_t offset, std::span<uint8_t> out) {
  if (!Holds(offset, out.size())) return false;
  size_t done = 0;
  while (done < out.size()) {
    if (!Load(offset + done)) return false;
    const size_t at = static_cast<size_t>(offset + done - windowStart_);
    const size_t count = std::min(out.size() - done, windowLength_ - at);
    std::memcpy(out.data() + done, window_.data() + at, count);
    done += count;
  }
  return true;
}

bool FileBytes::U8(uint64_t offset, uint8_t& value) {
  if (!Load(offset)) return false;
  value = window_[static_cast<size_t>(offset - windowStart_)];
  return true;
}

bool FileBytes::Base128(uint64_t& offset, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 70; shift += 7) {
    uint8_t byte = 0;
    if (!U8(offset++, byte)) return false;
    if (shift == 63 && (byte & 0x7E) != 0) return false;
    value |= uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

namespace {

template <size_t N>
uint64_t Big(const uint8_t (&b)[N]) {
  uint64_t v = 0;
  for (size_t i = 0; i < N; ++i) v = (v << 8) | b[i];
  return v;
}

template <size_t N>
uint64_t Little(const uint8_t (&b)[N]) {
  uint64_t v = 0;
  for (size_t i = N; i > 0; --i) v = (v << 8) | b[i - 1];
  return v;
}

}  // namespace

#define RESTORA_FILE_BYTES_VALUE(Name, Type, N, Order)   \
  bool FileBytes::Name(uint64_t offset, Type& value) {   \
    uint8_t b[N];                                        \
    if (!Read(offset, std::span<uint8_t>(b, N))) return false; \
    value = static_cast<Type>(Order(b));                 \
    return true;                                         \
  }
RESTORA_FILE_BYTES_VALUE(U16LE, uint16_t, 2, Little)
RESTORA_FILE_BYTES_VALUE(U16BE, uint16_t, 2, Big)
RESTORA_FILE_BYTES_VALUE(U24BE, uint32_t, 3, Big)
RESTORA_FILE_BYTES_VALUE(U32LE, uint32_t, 4, Little)
RESTORA_FILE_BYTES_VALUE(U32BE, uint32_t, 4, Big)
RESTORA_FILE_BYTES_VALUE(U64LE, uint64_t, 8, Little)
RESTORA_FILE_BYTES_VALUE(U64BE, uint64_t, 8, Big)
#undef RESTORA_FILE_BYTES_VALUE

bool FileBytes::Equals(uint64_t offset, std::string_view text) {
  if (!Holds(offset, text.size())) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t byte = 0;
    if (!U8(offset + i, byte) || byte != static_cast<uint8_t>(text[i])) return false;
  }
  return true;
}

uint64_t FileBytes::Scan(uint64_t from, uint64_t limit, std::string_view pattern, bool first) {
  limit = std::min(limit, bound_);
  if (pattern.empty() || from >= limit || limit - from < pattern.size()) return kNone;
  const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
  std::vector<uint8_t> chunk;
  uint64_t last = kNone;
  // Chunks overlap by pattern.size() - 1 bytes, so a match across two chunks is found once.
  for (uint64_t at = from; limit - at >= pattern.size();) {
    chunk.resize(static_cast<size_t>(std::min<uint64_t>(kScanBytes, limit - at)));
    const size_t got = std::min(fetch_(at, chunk), chunk.size());
    fetched_ += got;
    if (got < pattern.size()) break;
    const char* base = reinterpret_cast<const char*>(chunk.data());
    for (const char* cursor = base;;) {
      const char* hit = std::search(cursor, base + got, searcher);
      if (hit == base + got) break;
      last = at + static_cast<uint64_t>(hit - base);
      if (first) return last;
      cursor = hit + 1;
    }
    if (got < chunk.size()) break;  // the source ended or failed here
    at += got - (pattern.size() - 1);
  }
  return last;
}

uint64_t FileBytes::FindByte(uint64_t from, uint64_t limit, uint8_t byte) {
  limit = std::min(limit, bound_);
  for (uint64_t at = from; at < limit;) {
    if (!Load(at)) return kNone;
    const size_t begin = static_cast<size_t>(at - windowStart_);
    const size_t end = static_cast<size_t>(std::min<uint64_t>(windowLength_, limit - windowStart_));
    const void* hit = std::memchr(window_.data() + begin, byte, end - begin);
    if (hit != nullptr) return windowStart_ + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - window_.data());
    at = windowStart_ + end;
  }
  return kNone;
}

uint64_t FileBytes::Find(uint64_t from, uint64_t limit, std::string_view pattern) {
  return Scan(from, limit, pattern, true);
}

uint64_t FileBytes::FindLast(uint64_t from, uint64_t limit, std::string_view pattern) {
  return Scan(from, limit, pattern, false);
}

}  // namespace restora
