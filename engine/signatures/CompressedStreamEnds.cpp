// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed streams that state no size of their own. A gzip member ends after its DEFLATE data
// and an 8-byte trailer, which only a walk through the Huffman codes finds; its trailer's length
// field then confirms the walk. A bzip2 stream ends at a 48-bit end mark that may sit at any bit.
// An xz stream's blocks either state their size or hold LZMA2 chunks that do, and its index and
// footer close it. Files of several members or streams (pigz, bgzip, pbzip2, xz -T) run on while
// another follows directly.
#include <algorithm>
#include <array>

#include "FormatEnds.h"

namespace restora {

namespace {

constexpr int kMaxMembers = 1 << 16;

// The bits of a DEFLATE stream, lowest first, taken from chunks of the file's bytes.
class BitReader {
 public:
  BitReader(FileBytes& bytes, uint64_t at) : bytes_(bytes), chunkStart_(at) {}

  bool Bits(int count, uint32_t& value) {
    if (!Peek(count, value)) return false;
    Drop(count);
    return true;
  }
  // The next count bits (at most 32) without taking them; false when the bound comes first.
  bool Peek(int count, uint32_t& value) {
    while (held_ < count) {
      if (next_ == chunkLength_ && !Refill()) return false;
      buffer_ |= uint64_t{chunk_[next_++]} << held_;
      held_ += 8;
    }
    value = static_cast<uint32_t>(buffer_ & ((uint64_t{1} << count) - 1));
    return true;
  }
  void Drop(int count) {
    buffer_ >>= count;
    held_ -= count;
  }
  // Drops the rest of the current byte; returns the offset of the next whole byte.
  uint64_t AlignToByte() {
    const uint64_t at = chunkStart_ + next_ - static_cast<uint64_t>(held_ / 8);
    SkipTo(at);
    return at;
  }
  void SkipTo(uint64_t offset) {
    chunkStart_ = offset;
    next_ = chunkLength_ = 0;
    buffer_ = 0;
    held_ = 0;
  }

 private:
  // The next chunk; a byte at a time where a whole chunk cannot be read (a failed sector).
  bool Refill() {
    const uint64_t at = chunkStart_ + chunkLength_;
    if (!bytes_.Holds(at, 1)) return false;
    size_t length = static_cast<size_t>(std::min<uint64_t>(chunk_.size(), bytes_.Bound() - at));
    if (!bytes_.Read(at, std::span(chunk_.data(), length))) {
      length = 1;
      if (!bytes_.U8(at, chunk_[0])) return false;
    }
    chunkStart_ = at;
    next_ = 0;
    chunkLength_ = length;
    return true;
  }

  FileBytes& bytes_;
  std::array<uint8_t, 4096> chunk_{};
  uint64_t chunkStart_;  // the file offset of chunk_[0]
  size_t next_ = 0, chunkLength_ = 0;
  uint64_t buffer_ = 0;
  int held_ = 0;
};

// A canonical Huffman code: how many codes each length has, and the symbols in code order; and
// for the next kFastBits bits of the stream, the symbol and length of a code that short.
struct HuffmanCode {
  static constexpr int kFastBits = 9;
  std::array<uint16_t, 16> countOfLength{};
  std::array<uint16_t, 320> symbols{};
  std::array<uint16_t, 1 << kFastBits> fast{};  // length << 9 | symbol; 0: a longer code

  // False when the lengths over-fill the code space (an incomplete code is allowed, as zlib does
  // for a single distance code).
  bool Build(const uint8_t* lengths, int count) {
    countOfLength.fill(0);
    for (int s = 0; s < count; ++s) ++countOfLength[lengths[s]];
    countOfLength[0] = 0;
    int left = 1;
    for (int length = 1; length < 16; ++length) {
      left = left * 2 - countOfLength[length];
      if (left < 0) return false;
    }
    std::array<uint16_t, 16> next{};
    for (int length = 1; length < 15; ++length) next[length + 1] = next[length] + countOfLength[length];
    for (int s = 0; s < count; ++s) {
      if (lengths[s] != 0) symbols[next[lengths[s]]++] = static_cast<uint16_t>(s);
    }
    // Codes are assigned in order within each length; the stream holds them highest bit first.
    fast.fill(0);
    uint32_t code = 0;
    for (int length = 1, index = 0; length <= kFastBits; ++length, code <<= 1) {
      for (int i = 0; i < countOfLength[length]; ++i, ++code, ++index) {
        uint32_t reversed = 0;
        for (int bit = 0; bit < length; ++bit) reversed |= ((code >> bit) & 1) << (length - 1 - bit);
        for (uint32_t high = reversed; high < fast.size(); high += 1u << length) {
          fast[high] = static_cast<uint16_t>(length << 9 | symbols[index]);
        }
      }
    }
    return true;
  }

  // Reads one symbol: a short code by the table, else bit by bit, comparing against the first
  // code of each length.
  bool Decode(BitReader& bits, int& symbol) const {
    uint32_t next = 0;
    if (bits.Peek(kFastBits, next) && fast[next] != 0) {
      bits.Drop(fast[next] >> 9);
      return symbol = fast[next] & 0x1FF, true;
    }
    int code = 0, first = 0, index = 0;
    for (int length = 1; length < 16; ++length) {
      uint32_t bit = 0;
      if (!bits.Bits(1, bit)) return false;
      code |= static_cast<int>(bit);
      const int count = countOfLength[length];
      if (code - first < count) return symbol = symbols[index + code - first], true;
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return false;
  }
};

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint32_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Symbols of one compressed block up to its end code; produced counts the bytes it yields, so a
// distance reaching before the stream's start is refused.
bool WalkCodes(BitReader& bits, const HuffmanCode& literals, const HuffmanCode& distances, uint64_t& produced) {
  for (;;) {
    int symbol = 0;
    if (!literals.Decode(bits, symbol)) return false;
    if (symbol < 256) {
      ++produced;
      continue;
    }
    if (symbol == 256) return true;
    symbol -= 257;
    if (symbol >= 29) return false;
    uint32_t extra = 0, distanceExtra = 0;
    int distance = 0;
    if (!bits.Bits(kLengthExtra[symbol], extra) || !distances.Decode(bits, distance) || distance >= 30 ||
        !bits.Bits(kDistanceExtra[distance], distanceExtra)) {
      return false;
    }
    if (kDistanceBase[distance] + distanceExtra > produced) return false;
    produced += kLengthBase[symbol] + extra;
  }
}

bool ReadDynamicCodes(BitReader& bits, HuffmanCode& literals, HuffmanCode& distances) {
  static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  uint32_t literalCount = 0, distanceCount = 0, lengthCodeCount = 0;
  if (!bits.Bits(5, literalCount) || !bits.Bits(5, distanceCount) || !bits.Bits(4, lengthCodeCount)) return false;
  literalCount += 257, distanceCount += 1, lengthCodeCount += 4;
  if (literalCount > 286 || distanceCount > 30) return false;
  uint8_t lengths[320] = {};
  for (uint32_t i = 0; i < lengthCodeCount; ++i) {
    uint32_t length = 0;
    if (!bits.Bits(3, length)) return false;
    lengths[kOrder[i]] = static_cast<uint8_t>(length);
  }
  HuffmanCode lengthCode;
  if (!lengthCode.Build(lengths, 19)) return false;
  const uint32_t total = literalCount + distanceCount;
  for (uint32_t i = 0; i < total;) {
    int symbol = 0;
    if (!lengthCode.Decode(bits, symbol)) return false;
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint32_t repeat = 0;
    uint8_t value = 0;
    if (symbol == 16) {
      if (i == 0 || !bits.Bits(2, repeat)) return false;
      value = lengths[i - 1], repeat += 3;
    } else if (!bits.Bits(symbol == 17 ? 3 : 7, repeat)) {
      return false;
    } else {
      repeat += symbol == 17 ? 3 : 11;
    }
    if (i + repeat > total) return false;
    while (repeat-- > 0) lengths[i++] = value;
  }
  if (lengths[256] == 0) return false;  // no end code: the block could never end
  return literals.Build(lengths, static_cast<int>(literalCount)) &&
         distances.Build(lengths + literalCount, static_cast<int>(distanceCount));
}

// The DEFLATE stream at bits' position to its last block's end; produced: its output's length.
bool WalkDeflate(BitReader& bits, FileBytes& bytes, uint64_t& produced) {
  static const auto fixed = [] {
    std::pair<HuffmanCode, HuffmanCode> codes;
    uint8_t lengths[288];
    for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    codes.first.Build(lengths, 288);
    std::fill_n(lengths, 30, uint8_t{5});
    codes.second.Build(lengths, 30);
    return codes;
  }();
  produced = 0;
  for (uint32_t last = 0; last == 0;) {
    uint32_t type = 0;
    if (!bits.Bits(1, last) || !bits.Bits(2, type)) return false;
    if (type == 0) {  // stored: a length, its complement, the bytes
      const uint64_t at = bits.AlignToByte();
      uint16_t length = 0, complement = 0;
      if (!bytes.U16LE(at, length) || !bytes.U16LE(at + 2, complement) || (length ^ complement) != 0xFFFF ||
          !bytes.Holds(at + 4, length)) {
        return false;
      }
      bits.SkipTo(at + 4 + length);
      produced += length;
    } else if (type == 1) {
      if (!WalkCodes(bits, fixed.first, fixed.second, produced)) return false;
    } else if (type == 2) {
      HuffmanCode literals, distances;
      if (!ReadDynamicCodes(bits, literals, distances) || !WalkCodes(bits, literals, distances, produced)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// One gzip member at `at`: its end, or 0.
uint64_t GzipMemberEnd(FileBytes& bytes, uint64_t at) {
  uint8_t flags = 0;
  if (!bytes.Equals(at, "\x1F\x8B\x08") || !bytes.U8(at + 3, flags) || (flags & 0xE0) != 0) return 0;
  uint64_t cursor = at + 10;
  if ((flags & 0x04) != 0) {  // extra field
    uint16_t length = 0;
    if (!bytes.U16LE(cursor, length)) return 0;
    cursor += 2 + length;
  }
  for (const uint8_t text : {uint8_t{0x08}, uint8_t{0x10}}) {  // name, comment: zero-terminated
    if ((flags & text) == 0) continue;
    const uint64_t zero = bytes.FindByte(cursor, cursor + 65536, 0);
    if (zero == FileBytes::kNone) return 0;
    cursor = zero + 1;
  }
  if ((flags & 0x02) != 0) cursor += 2;  // header checksum
  BitReader bits(bytes, cursor);
  uint64_t produced = 0;
  if (!WalkDeflate(bits, bytes, produced)) return 0;
  const uint64_t trailer = bits.AlignToByte();
  uint32_t size = 0;  // of the output, modulo 2^32
  if (!bytes.U32LE(trailer + 4, size) || size != static_cast<uint32_t>(produced)) return 0;
  return trailer + 8;
}

// The end of the bzip2 stream at `at`, found by its end mark; 0 when there is none.
uint64_t Bzip2StreamEnd(FileBytes& bytes, uint64_t at) {
  constexpr uint64_t kBlockMark = 0x314159265359, kEndMark = 0x177245385090, kMark = (uint64_t{1} << 48) - 1;
  uint8_t level = 0;
  if (!bytes.Equals(at, "BZh") || !bytes.U8(at + 3, level) || level < '1' || level > '9') return 0;
  // Bits arrive highest first; after each byte the last 48 bits are tried at every bit offset.
  uint64_t recent = 0;
  for (uint64_t offset = at + 4;; ++offset) {
    uint8_t byte = 0;
    if (!bytes.U8(offset, byte)) return 0;
    recent = (recent << 8) | byte;
    if (offset < at + 9) continue;  // fewer than 48 bits of the stream so far
    for (int shift = 7; shift >= 0; --shift) {
      const uint64_t candidate = (recent >> shift) & kMark;
      if (offset == at + 9 && shift == 0 && candidate != kBlockMark && candidate != kEndMark) return 0;
      if (candidate != kEndMark || (offset == at + 9 && shift != 0)) continue;
      // The mark's last bit is bit `shift` of this byte; a 32-bit checksum and padding follow.
      const uint64_t endBit = (offset + 1) * 8 - static_cast<uint64_t>(shift) + 32;
      const uint64_t end = (endBit + 7) / 8;
      return bytes.Holds(0, end) ? end : 0;
    }
  }
}

// LZMA2 chunks from `at` to the end chunk; the offset after it, or kNone.
uint64_t Lzma2End(FileBytes& bytes, uint64_t at) {
  for (uint64_t chunk = 0; chunk < (uint64_t{1} << 32); ++chunk) {
    uint8_t control = 0;
    if (!bytes.U8(at, control)) return FileBytes::kNone;
    if (control == 0x00) return at + 1;
    uint16_t size = 0;
    if (control == 0x01 || control == 0x02) {  // stored
      if (!bytes.U16BE(at + 1, size)) return FileBytes::kNone;
      at += 3 + uint64_t{size} + 1;
    } else if (control >= 0x80) {  // compressed: unpacked and packed sizes, and new properties
      if (!bytes.U16BE(at + 3, size)) return FileBytes::kNone;
      at += 5 + (control >= 0xC0 ? 1 : 0) + uint64_t{size} + 1;
    } else {
      return FileBytes::kNone;
    }
  }
  return FileBytes::kNone;
}

// The xz stream at `at`: its blocks, index and footer; its end, or 0.
uint64_t XzStreamEnd(FileBytes& bytes, uint64_t at) {
  static constexpr uint8_t kCheckBytes[16] = {0, 4, 4, 4, 8, 8, 8, 16, 16, 16, 32, 32, 32, 64, 64, 64};
  uint8_t zero = 0, check = 0;
  if (!bytes.Equals(at, "\xFD" "7zXZ\x00") || !bytes.U8(at + 6, zero) || !bytes.U8(at + 7, check) || zero != 0 ||
      check > 0x0F) {
    return 0;
  }
  uint64_t cursor = at + 12, blocks = 0;
  for (uint8_t headerSize = 0;; ++blocks) {
    if (!bytes.U8(cursor, headerSize)) return 0;
    if (headerSize == 0) break;  // the index
    const uint64_t header = cursor, dataStart = header + (uint64_t{headerSize} + 1) * 4;
    uint8_t flags = 0;
    if (!bytes.U8(header + 1, flags) || (flags & 0x3C) != 0) return 0;
    uint64_t field = header + 2, compressed = FileBytes::kNone, ignored = 0;
    if ((flags & 0x40) != 0 && !bytes.Base128(field, compressed)) return 0;
    if ((flags & 0x80) != 0 && !bytes.Base128(field, ignored)) return 0;
    uint64_t filter = 0;
    for (int i = 0; i <= (flags & 3); ++i) {  // the last filter is the one whose data is stored
      uint64_t propertiesSize = 0;
      if (!bytes.Base128(field, filter) || !bytes.Base128(field, propertiesSize)) return 0;
      field += propertiesSize;
    }
    if (field > dataStart - 4) return 0;
    uint64_t dataEnd = FileBytes::kNone;
    if (compressed != FileBytes::kNone) {
      dataEnd = bytes.Holds(dataStart, compressed) ? dataStart + compressed : FileBytes::kNone;
    } else if (filter == 0x21) {
      dataEnd = Lzma2End(bytes, dataStart);
    }
    if (dataEnd == FileBytes::kNone) return 0;
    cursor = (dataEnd + 3) / 4 * 4 + kCheckBytes[check];
  }
  const uint64_t index = cursor;
  uint64_t records = 0;
  ++cursor;
  if (!bytes.Base128(cursor, records) || records != blocks) return 0;
  for (uint64_t r = 0, value = 0; r < records * 2; ++r) {
    if (!bytes.Base128(cursor, value)) return 0;
  }
  const uint64_t footer = (cursor + 3) / 4 * 4 + 4;
  uint32_t backwardSize = 0;
  uint8_t footerCheck = 0;
  if (!bytes.U32LE(footer + 4, backwardSize) || (uint64_t{backwardSize} + 1) * 4 != footer - index ||
      !bytes.U8(footer + 9, footerCheck) || footerCheck != check || !bytes.Equals(footer + 10, "YZ")) {
    return 0;
  }
  return footer + 12;
}

// Members or streams one after another from the start, while the next one is whole.
uint64_t Consecutive(FileBytes& bytes, uint64_t (*one)(FileBytes&, uint64_t)) {
  uint64_t end = 0;
  for (int member = 0; member < kMaxMembers; ++member) {
    const uint64_t next = one(bytes, end);
    if (next == 0) break;
    end = next;
  }
  return end;
}

}  // namespace

uint64_t GzipEnd(FileBytes& bytes) { return Consecutive(bytes, GzipMemberEnd); }
uint64_t Bzip2End(FileBytes& bytes) { return Consecutive(bytes, Bzip2StreamEnd); }
uint64_t XzEnd(FileBytes& bytes) { return Consecutive(bytes, XzStreamEnd); }

}  // namespace restora
