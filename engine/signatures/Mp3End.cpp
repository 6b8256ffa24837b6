// SPDX-License-Identifier: GPL-3.0-or-later
// MP3: the ID3v2 tag, then MPEG audio frames while each header agrees with the first frame's
// version, layer and sample rate, then the APE and ID3v1 tags that may close the file.
#include "FormatEnds.h"

namespace restora {

namespace {

struct FrameHeader {
  uint8_t version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  uint8_t layer = 0;    // 3 layer I, 2 layer II, 1 layer III
  uint8_t rateIndex = 0;
  uint32_t length = 0;
};

constexpr uint16_t kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 layers II, III
};
constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000};

bool ParseFrame(FileBytes& bytes, uint64_t at, FrameHeader& frame) {
  uint8_t h[4];
  if (!bytes.Read(at, h) || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  frame.version = (h[1] >> 3) & 3;
  frame.layer = (h[1] >> 1) & 3;
  const uint8_t bitrateIndex = h[2] >> 4;
  frame.rateIndex = (h[2] >> 2) & 3;
  const uint32_t padding = (h[2] >> 1) & 1;
  if (frame.version == 1 || frame.layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || frame.rateIndex == 3) {
    return false;
  }
  const bool mpeg1 = frame.version == 3;
  const int table = mpeg1 ? 3 - frame.layer : (frame.layer == 3 ? 3 : 4);
  const uint32_t bitrate = kBitrates[table][bitrateIndex] * 1000u;
  const uint32_t rate = kSampleRates[frame.rateIndex] >> (mpeg1 ? 0 : (frame.version == 2 ? 1 : 2));
  if (frame.layer == 3) {
    frame.length = (12 * bitrate / rate + padding) * 4;
  } else {
    const uint32_t factor = (frame.layer == 1 && !mpeg1) ? 72 : 144;
    frame.length = factor * bitrate / rate + padding;
  }
  return frame.length >= 4;
}

}  // namespace

uint64_t Mp3End(FileBytes& bytes) {
  uint64_t at = 0;
  if (bytes.Equals(0, "ID3")) {
    uint8_t h[10];
    if (!bytes.Read(0, h)) return 0;
    if (((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0) return 0;  // sizes are 7 bits a byte
    const uint64_t size = (uint64_t{h[6]} << 21) | (uint64_t{h[7]} << 14) | (uint64_t{h[8]} << 7) | h[9];
    at = 10 + size + ((h[5] & 0x10) != 0 ? 10 : 0);  // a footer repeats the header
  }
  // Some writers pad the tag with zeros beyond its size.
  for (uint64_t skipped = 0; skipped < 65536; ++skipped, ++at) {
    uint8_t byte = 0;
    if (!bytes.U8(at, byte)) return 0;
    if (byte != 0) break;
  }
  FrameHeader first;
  if (!ParseFrame(bytes, at, first)) return 0;
  uint64_t frames = 0;
  for (FrameHeader frame; ParseFrame(bytes, at, frame);) {
    if (frame.version != first.version || frame.layer != first.layer || frame.rateIndex != first.rateIndex) break;
    if (!bytes.Holds(at, frame.length)) return 0;  // the last frame runs past the bound
    at += frame.length;
    ++frames;
  }
  if (frames < 2) return 0;
  if (bytes.Equals(at, "APETAGEX")) {
    uint32_t size = 0, flags = 0;
    if (bytes.U32LE(at + 12, size) && bytes.U32LE(at + 20, flags)) {
      const uint64_t tag = uint64_t{size} + ((flags & 0x80000000u) != 0 ? 32 : 0);
      if (bytes.Holds(at, tag)) at += tag;
    }
  }
  if (bytes.Equals(at, "TAG") && bytes.Holds(at, 128)) at += 128;
  return at;
}

}  // namespace restora
