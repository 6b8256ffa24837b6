// SPDX-License-Identifier: GPL-3.0-or-later
// FLAC: the metadata blocks, then the audio frames. Frames record no length: a frame ends where
// the CRC-16 over its bytes (header to footer) comes to zero and, but for the last frame, the
// next frame's header (with a valid CRC-8) begins. The last frame is the one that reaches the
// stream's sample count.
#include "FormatEnds.h"

#include <array>

namespace restora {

namespace {

constexpr auto MakeTable(uint16_t polynomial, int width) {
  std::array<uint16_t, 256> table{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte << (width - 8);
    const uint32_t top = 1u << (width - 1);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & top) != 0 ? (crc << 1) ^ polynomial : crc << 1;
    table[byte] = static_cast<uint16_t>(crc & ((1u << width) - 1));
  }
  return table;
}
constexpr auto kCrc8 = MakeTable(0x07, 8);
constexpr auto kCrc16 = MakeTable(0x8005, 16);

constexpr uint32_t kBlockSizes[16] = {0, 192, 576, 1152, 2304, 4608, 0, 0, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768};

struct Frame {
  uint64_t firstSample = 0;
  uint32_t samples = 0;
};

// Parses the frame header at at, checking its CRC-8.
bool ParseFrame(FileBytes& bytes, uint64_t at, uint32_t fixedBlockSize, Frame& frame) {
  uint8_t h[16];
  if (!bytes.Read(at, std::span(h, 4)) || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8) return false;
  const bool variable = (h[1] & 1) != 0;
  const uint8_t sizeCode = h[2] >> 4, rateCode = h[2] & 15;
  if (rateCode == 15 || (h[3] & 1) != 0 || ((h[3] >> 1) & 7) == 3 || ((h[3] >> 1) & 7) == 7 || (h[3] >> 4) > 10) {
    return false;
  }
  // The frame or sample number, UTF-8 coded in 1 to 7 bytes.
  size_t length = 4;
  if (!bytes.Read(at + 4, std::span(h + 4, 1))) return false;
  int extra = 0;
  uint64_t number = h[4];
  if (h[4] >= 0x80) {
    if (h[4] < 0xC0 || h[4] == 0xFF) return false;
    for (uint8_t mask = 0x40; (h[4] & mask) != 0; mask >>= 1) ++extra;
    number = h[4] & (0x3F >> extra);
  }
  length = 5;
  if (!bytes.Read(at + 5, std::span(h + 5, static_cast<size_t>(extra)))) return false;
  for (int i = 0; i < extra; ++i) {
    if ((h[5 + i] & 0xC0) != 0x80) return false;
    number = (number << 6) | (h[5 + i] & 0x3F);
  }
  length += static_cast<size_t>(extra);
  uint32_t samples = kBlockSizes[sizeCode];
  const size_t sizeBytes = sizeCode == 6 ? 1 : (sizeCode == 7 ? 2 : 0);
  const size_t rateBytes = rateCode == 12 ? 1 : (rateCode == 13 || rateCode == 14 ? 2 : 0);
  if (!bytes.Read(at + length, std::span(h + length, sizeBytes + rateBytes + 1))) return false;
  if (sizeCode == 6) samples = h[length] + 1u;
  if (sizeCode == 7) samples = ((uint32_t{h[length]} << 8) | h[length + 1]) + 1u;
  if (sizeCode == 0) return false;
  length += sizeBytes + rateBytes;
  uint8_t crc = 0;
  for (size_t i = 0; i < length; ++i) crc = static_cast<uint8_t>(kCrc8[crc ^ h[i]]);
  if (crc != h[length]) return false;
  frame.samples = samples;
  frame.firstSample = variable ? number : number * fixedBlockSize;
  return true;
}

}  // namespace

uint64_t FlacEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "fLaC")) return 0;
  uint64_t at = 4;
  uint32_t fixedBlockSize = 0;
  uint64_t totalSamples = 0;
  for (bool last = false; !last;) {
    uint8_t type = 0;
    uint32_t length = 0;
    if (!bytes.U8(at, type) || !bytes.U24BE(at + 1, length)) return 0;
    last = (type & 0x80) != 0;
    if ((type & 0x7F) == 0) {  // stream information
      uint8_t info[18];
      if (length < 34 || !bytes.Read(at + 4, info)) return 0;
      const uint16_t minBlock = static_cast<uint16_t>((info[0] << 8) | info[1]);
      const uint16_t maxBlock = static_cast<uint16_t>((info[2] << 8) | info[3]);
      if (minBlock == maxBlock) fixedBlockSize = minBlock;
      totalSamples = (uint64_t{info[13] & 15u} << 32) | (uint64_t{info[14]} << 24) | (uint64_t{info[15]} << 16) |
                     (uint64_t{info[16]} << 8) | info[17];
    } else if ((type & 0x7F) == 127) {
      return 0;
    }
    at += 4 + uint64_t{length};
  }
  if (totalSamples == 0) return 0;  // the count is unknown: so is the last frame

  Frame frame;
  if (!ParseFrame(bytes, at, fixedBlockSize, frame)) return 0;
  while (true) {
    const bool lastFrame = frame.firstSample + frame.samples >= totalSamples;
    // Walk the frame with its CRC-16 until it closes where the next header begins (or, for the
    // last frame, where it first closes).
    uint16_t crc = 0;
    uint64_t position = at;
    bool found = false;
    Frame next;
    while (!found) {
      uint8_t byte = 0;
      if (!bytes.U8(position, byte)) return 0;
      crc = static_cast<uint16_t>((crc << 8) ^ kCrc16[((crc >> 8) ^ byte) & 0xFF]);
      ++position;
      if (crc != 0 || position - at < 8) continue;
      if (lastFrame) return position;
      found = ParseFrame(bytes, position, fixedBlockSize, next) && next.firstSample == frame.firstSample + frame.samples;
    }
    at = position;
    frame = next;
  }
}

}  // namespace restora
