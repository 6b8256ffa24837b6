// SPDX-License-Identifier: GPL-3.0-or-later
// LZNT1: the unit test over chunk headers, and tokens at the split boundaries, back-references
// before a chunk's start, stored chunks and units that fill or would overflow the output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lznt1.h"

namespace restora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
Bytes Header(uint16_t header) { return {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)}; }
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
// A compressed chunk around the given token bytes.
Bytes Chunk(const Bytes& body) { return Join({Header(static_cast<uint16_t>(0xB000 | (body.size() - 1))), body}); }
Bytes Stored(char fill, size_t count = 4096) { return Join({Header(static_cast<uint16_t>(0x3000 | (count - 1))), Bytes(count, fill)}); }

TEST(Lznt1, TheUnitTestFollowsChunkHeadersToTheEndOrAnEndMark) {
  const Bytes two = Join({Header(0xB002), Bytes(3, 'A'), Header(0xB004), Bytes(5, 'B')});  // fills 12 bytes exactly
  Bytes padded = two;
  padded.resize(4096, 0);  // an end mark and zero slack, as whole clusters hold them
  const std::pair<Bytes, int> cases[] = {
      {two, 1}, {padded, 1}, {Join({two, Bytes(3, 7)}), 0},  // slack that is neither end nor end mark
      {Join({Header(0xBFFF), Bytes(98, 0x55)}), 0},           // a header claiming more than the unit holds
      {Bytes{0x00}, 0}, {Bytes{}, 0}, {Bytes(4096, 'x'), 0}};
  for (const auto& [unit, expected] : cases) EXPECT_EQ(IsCompressedUnit(unit), expected) << unit.size();
}

TEST(Lznt1, TokensChunksAndTheOutputsEnd) {
  const Bytes sixteen = Join({Bytes{0x00}, Text("ABCDEFGH"), Bytes{0x00}, Text("IJKLMNOP")});
  Bytes sixteenStored;
  for (char c = 'a'; c < 'a' + 16; ++c) sixteenStored = Join({sixteenStored, Stored(c)});
  struct Case {
    const char* what;
    Bytes unit;
    size_t room;
    std::string expected;
  };
  const Case cases[] = {
      {"an overlapping back-reference", Chunk({0x02, 'a', 0x07, 0x00}), 65536, std::string(11, 'a')},
      {"displacement 3, length 6", Chunk({0x08, 'a', 'b', 'c', 0x03, 0x20}), 65536, "abcabcabc"},
      {"a stored chunk, then the end mark", Join({Header(0x3004), Text("hello"), Bytes{0, 0, '!'}}), 65536, "hello"},
      {"12 length bits at position 16", Chunk(Join({sixteen, Bytes{0x01, 0x00, 0x10}})), 65536, "ABCDEFGHIJKLMNOPOPO"},
      {"11 length bits at position 17", Chunk(Join({sixteen, Bytes{0x02, 'Q', 0x02, 0x80}})), 65536,
       "ABCDEFGHIJKLMNOPQABCDE"},
      {"a reference before the chunk copies from its start", Chunk({0x04, 'x', 'y', 0x01, 0x90}), 65536, "xyxyxy"},
      {"a reference as the first token", Chunk({0x01, 0x00, 0xF0}), 65536, std::string(3, '\0')},
      {"a second chunk cannot reach into the first",
       Join({Chunk({0x00, '1', '2', '3', '4', '5', '6', '7', '8'}), Chunk({0x02, 'z', 0x00, 0x30})}), 65536, "12345678zzzz"},
      {"a stored chunk that does not fit ends the unit at the room", Join({Stored('q'), Stored('r')}), 6000,
       std::string(4096, 'q') + std::string(6000 - 4096, '\0')},
      {"a run far past the room stops at it", Chunk(Join({Bytes{0xFE, 'r'}, Bytes{0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F}})),
       3000, std::string(3000, 'r')},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> output(c.room, 0xEE);
    const size_t produced = DecompressUnit(c.unit, output);
    ASSERT_LE(produced, c.room) << c.what;
    EXPECT_EQ(std::string(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(produced)), c.expected) << c.what;
  }
  std::vector<uint8_t> output(65536);
  const size_t cut = DecompressUnit(Join({Header(0xBFFF), Bytes{0x00, 'k'}}), output);  // cut by the unit's end
  EXPECT_TRUE(cut >= 1 && cut <= 4096 && output[0] == 'k');  // what is missing reads as zeros
  ASSERT_EQ(DecompressUnit(sixteenStored, output), 65536u);  // sixteen stored chunks end exactly at the end
  EXPECT_EQ(output[65535], 'p');
}

}  // namespace
}  // namespace restora
