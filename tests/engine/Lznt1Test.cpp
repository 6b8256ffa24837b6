// SPDX-License-Identifier: GPL-3.0-or-later
// LZNT1: the unit test for chunk sequences, token decoding at the split boundaries, units that
// are stored, fill the output exactly or would overflow it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lznt1.h"

namespace restora {
namespace {

constexpr size_t kUnit = 16 * 4096;

std::vector<uint8_t> Header(uint16_t header) { return {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)}; }

// A compressed chunk around the given token bytes.
std::vector<uint8_t> CompressedChunk(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> chunk = Header(static_cast<uint16_t>(0xB000 | (body.size() - 1)));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

std::string Decompress(const std::vector<uint8_t>& unit, size_t unitBytes = kUnit) {
  std::vector<uint8_t> output(unitBytes, 0xEE);
  const size_t produced = DecompressUnit(unit, output);
  return std::string(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(produced));
}

TEST(Lznt1, UnitTestFollowsChunkHeadersToTheEndOrAnEndMark) {
  // Two chunks of 3 and 5 stored bytes (headers 2 + 0x002, 2 + 0x004) fill 12 bytes exactly.
  std::vector<uint8_t> unit = Header(0xB002);
  unit.insert(unit.end(), 3, 0x41);
  auto second = Header(0xB004);
  unit.insert(unit.end(), second.begin(), second.end());
  unit.insert(unit.end(), 5, 0x42);
  EXPECT_EQ(IsCompressedUnit(unit), 1);

  // One byte of slack after the chunks: neither the end nor an end mark is met.
  std::vector<uint8_t> longer = unit;
  longer.push_back(0x07);
  longer.push_back(0x07);
  longer.push_back(0x07);
  EXPECT_EQ(IsCompressedUnit(longer), 0);

  // The same chunks followed by an end mark and zero slack, as a unit of whole clusters holds them.
  std::vector<uint8_t> padded = unit;
  padded.resize(4096, 0);
  EXPECT_EQ(IsCompressedUnit(padded), 1);

  // A header that claims more bytes than the unit holds.
  std::vector<uint8_t> overrun = Header(0xBFFF);
  overrun.resize(100, 0x55);
  EXPECT_EQ(IsCompressedUnit(overrun), 0);

  // An end mark that would need bytes past the unit, and units too short for any header.
  EXPECT_EQ(IsCompressedUnit(std::vector<uint8_t>{0x00}), 0);
  EXPECT_EQ(IsCompressedUnit(std::vector<uint8_t>{}), 0);
  // Plain text read as headers leads nowhere exact.
  const std::string text(4096, 'x');
  EXPECT_EQ(IsCompressedUnit(std::vector<uint8_t>(text.begin(), text.end())), 0);
}

TEST(Lznt1, LiteralsAndOverlappingBackReferences) {
  // "a", then a back-reference of displacement 1 and length 10 repeats it: 11 times "a".
  EXPECT_EQ(Decompress(CompressedChunk({0x02, 'a', 0x07, 0x00})), std::string(11, 'a'));
  // "abc" then displacement 3, length 6: "abcabcabc".
  EXPECT_EQ(Decompress(CompressedChunk({0x08, 'a', 'b', 'c', 0x03, 0x20})), "abcabcabc");
  // A stored chunk is copied as it is; the end mark stops the unit.
  std::vector<uint8_t> stored = Header(0x3004);
  for (char c : std::string("hello")) stored.push_back(static_cast<uint8_t>(c));
  stored.push_back(0);
  stored.push_back(0);
  stored.push_back('!');
  EXPECT_EQ(Decompress(stored), "hello");
}

TEST(Lznt1, DisplacementGrowsPastSixteenBytes) {
  // Sixteen literals, then a token at p = 16 (still 12 length bits) and one at p = 17 (11).
  std::vector<uint8_t> body{0x00};
  for (char c : std::string("ABCDEFGH")) body.push_back(static_cast<uint8_t>(c));
  body.push_back(0x00);
  for (char c : std::string("IJKLMNOP")) body.push_back(static_cast<uint8_t>(c));
  // At p = 16: displacement 16, length 3 → "ABC" (token (15 << 12) | 0).
  body.push_back(0x01);
  body.push_back(0x00);
  body.push_back(0xF0);
  const std::string at16 = Decompress(CompressedChunk(body));
  EXPECT_EQ(at16, "ABCDEFGHIJKLMNOPABC");

  // Seventeen literals, then at p = 17 the token 0x8002 means displacement 17 and length 5
  // (11 length bits); read with the 12/4 split it would be displacement 9.
  std::vector<uint8_t> longer{0x00};
  for (char c : std::string("ABCDEFGH")) longer.push_back(static_cast<uint8_t>(c));
  longer.push_back(0x00);
  for (char c : std::string("IJKLMNOP")) longer.push_back(static_cast<uint8_t>(c));
  longer.push_back(0x02);  // literal "Q", then the token
  longer.push_back('Q');
  longer.push_back(0x02);
  longer.push_back(0x80);
  EXPECT_EQ(Decompress(CompressedChunk(longer)), "ABCDEFGHIJKLMNOPQABCDE");
}

TEST(Lznt1, BackReferencesBeforeTheChunkCopyFromItsStart) {
  // "xy", then displacement 10 (before the chunk) and length 4: copied from the chunk's start.
  EXPECT_EQ(Decompress(CompressedChunk({0x04, 'x', 'y', 0x01, 0x90})), "xyxyxy");
  // A back-reference as the very first token has nothing to copy: zeros.
  EXPECT_EQ(Decompress(CompressedChunk({0x01, 0x00, 0xF0})), std::string(3, '\0'));
  // A second chunk cannot reach into the first: its back-reference starts at its own start.
  std::vector<uint8_t> unit = CompressedChunk({0x00, '1', '2', '3', '4', '5', '6', '7', '8'});
  const auto second = CompressedChunk({0x02, 'z', 0x00, 0x30});  // displacement 4, length 3
  unit.insert(unit.end(), second.begin(), second.end());
  EXPECT_EQ(Decompress(unit), "12345678zzzz");
}

TEST(Lznt1, UnitsThatFillTheOutputExactlyOrWouldOverflowIt) {
  // Sixteen stored chunks of 4096 bytes: the last one ends exactly at the unit's end.
  std::vector<uint8_t> unit;
  for (int k = 0; k < 16; ++k) {
    const auto header = Header(0x3FFF);
    unit.insert(unit.end(), header.begin(), header.end());
    unit.insert(unit.end(), 4096, static_cast<uint8_t>('a' + k));
  }
  std::string out = Decompress(unit);
  ASSERT_EQ(out.size(), kUnit);
  EXPECT_EQ(out.substr(kUnit - 4096).find_first_not_of('p'), std::string::npos);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(out[kUnit - 1], 'p');

  // A stored chunk that does not fit the room left ends the unit at its full size (the rest zero).
  std::vector<uint8_t> small = Header(0x3FFF);
  small.insert(small.end(), 4096, 'q');
  small.insert(small.end(), {0xFF, 0x3F});
  small.insert(small.end(), 4096, 'r');
  out = Decompress(small, 6000);
  ASSERT_EQ(out.size(), 6000u);
  EXPECT_EQ(out.substr(0, 4096).find_first_not_of('q'), std::string::npos);
  EXPECT_EQ(out.substr(4096).find_first_not_of('\0'), std::string::npos);

  // A run that would produce far more than the room stops at the output's end.
  std::vector<uint8_t> runs{0xFE, 'r'};
  for (int k = 0; k < 7; ++k) runs.insert(runs.end(), {0xFF, 0x0F});  // the first: displacement 1, 4098 bytes
  out = Decompress(CompressedChunk(runs), 3000);
  EXPECT_EQ(out.size(), 3000u);
  EXPECT_EQ(out.find_first_not_of('r'), std::string::npos);
}

}  // namespace
}  // namespace restora
