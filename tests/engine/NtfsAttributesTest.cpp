// SPDX-License-Identifier: GPL-3.0-or-later
// The attribute walk that fills a scan node, on built and hostile records; and the record pieces
// the test volume builder must agree with (update sequence, run lists, the table record).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "NtfsImageBuilder.h"
#include "NtfsRecord.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace restora {
namespace {

using test::NtfsFileRecord;

constexpr size_t kRecord = 1024;

void UseTwoSectorRecords(EngineState& state) {
  state.volumeInfo.kind = SourceKind::Ntfs;
  state.volumeInfo.sectorsPerRecord = 2;
}

class LineSink : public ProgressSink {
 public:
  void Diagnostic(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

TEST(NtfsAttributes, BuiltRecordsCarryAnUpdateSequenceThatVerifyRepairs) {
  EngineState state;
  UseTwoSectorRecords(state);
  LineSink sink;
  state.progress = &sink;
  NtfsFileRecord file;
  file.ResidentData(std::vector<uint8_t>(900, 0x77));  // the data crosses the first sector's end
  std::vector<uint8_t> record = file.Encode(kRecord, 9);
  EXPECT_EQ(record[510], 0x01);  // the sequence value stands in the sector's tail
  EXPECT_EQ(VerifyRecord(state, record), 0x38u);
  EXPECT_EQ(record[510], 0x77);  // and the saved bytes are back
  EXPECT_TRUE(sink.lines.empty());

  std::vector<uint8_t> torn = NtfsFileRecord(file).BreakUpdateSequence(1).Encode(kRecord, 9);
  EXPECT_EQ(VerifyRecord(state, torn), kVerifyRefused);
  EXPECT_EQ(torn[510], 0x77);  // the sector checked before the mismatch stays repaired
  EXPECT_EQ(sink.lines, std::vector<std::string>{kIntegrityFailedLine});
}

TEST(NtfsAttributes, BuiltRunListsDecodeToTheirExtents) {
  std::vector<NtfsRun> runs{{99, 99}};
  // Builder and decoder agree, also on long offsets.
  const std::vector<test::BuilderRun> built{{3, 0x123456789A}, {5, 7}, {2, 0, true}, {70000, 0x80000000}};
  const std::vector<uint8_t> encoded = test::EncodeRunList(built);
  EXPECT_EQ(DecodeDataRuns(encoded, 0, runs), 1);
  ASSERT_EQ(runs.size(), built.size());
  for (size_t i = 0; i < built.size(); ++i) {
    EXPECT_EQ(runs[i].length, built[i].clusters);
    EXPECT_EQ(runs[i].lcn, built[i].sparse ? 0 : built[i].lcn);
  }
}

TEST(NtfsAttributes, RunListsWithOverlongLengthsEnd) {
  std::vector<NtfsRun> runs;
  // A length that does not fit the extent's 32 bits.
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>{0x15, 0, 0, 0, 0, 1, 0x05, 0}, 0, runs), 1);
  EXPECT_TRUE(runs.empty());
  // A list without an end byte stays inside the bytes.
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>(64, 0x11), 0, runs), 1);
  EXPECT_EQ(runs.size(), 21u);
}

// The built record, verified (so repaired) and ready for ParseAttributes.
std::vector<uint8_t> Verified(const NtfsFileRecord& file) {
  EngineState state;
  UseTwoSectorRecords(state);
  std::vector<uint8_t> record = file.Encode(kRecord, 40);
  EXPECT_NE(VerifyRecord(state, record), kVerifyRefused);
  return record;
}

std::vector<uint8_t> Attribute(uint32_t type, uint32_t length, size_t bytes) {
  std::vector<uint8_t> a(bytes, 0);
  for (size_t i = 0; i < 4; ++i) a[i] = static_cast<uint8_t>(type >> (8 * i));
  for (size_t i = 0; i < 4; ++i) a[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  return a;
}

TEST(NtfsAttributes, WalkStopsAtTheEndMarkerOrAtWhatDoesNotFit) {
  const std::vector<uint8_t> data(20, 1);
  ScanNode node;
  EXPECT_EQ(ParseAttributes(Verified(NtfsFileRecord().Flags(0).FileName(u"ok.txt", 5).ResidentData(data)), 0x38, node), 1);
  EXPECT_EQ(node.name, u"ok.txt");
  EXPECT_EQ(node.size, 20u);
  EXPECT_EQ(node.status, 0);

  // Length 0, a length past the record, types out of range: the walk ends there with 0 and
  // keeps what it read before.
  for (const std::vector<uint8_t>& bad : {Attribute(0x50, 0, 16), Attribute(0x50, 4000, 16), Attribute(0, 16, 16),
                                          Attribute(0x101, 16, 16), Attribute(0x0F, 16, 16)}) {
    ScanNode n;
    const auto record = Verified(NtfsFileRecord().Flags(3).FileName(u"a", 5).RawAttribute(bad).ResidentData(data));
    EXPECT_EQ(ParseAttributes(record, 0x38, n), 0);
    EXPECT_EQ(n.name, u"a");
    EXPECT_EQ(n.size, 0u);
    EXPECT_EQ(n.status, 3);
  }
  ScanNode far;
  EXPECT_EQ(ParseAttributes(Verified(NtfsFileRecord()), 5000, far), 0);
  // An end marker in the last four bytes of the record still ends the walk properly.
  std::vector<uint8_t> tail(kRecord, 0);
  tail[kRecord - 4] = tail[kRecord - 3] = tail[kRecord - 2] = tail[kRecord - 1] = 0xFF;
  ScanNode atEnd;
  EXPECT_EQ(ParseAttributes(tail, kRecord - 4, atEnd), 1);
}

TEST(NtfsAttributes, FileNameReadsStayInsideTheirAttribute) {
  // A file-name attribute that claims 255 characters but holds only 3: the name is cut to them.
  NtfsFileRecord file;
  file.Flags(0).FileName(u"abc", 77);
  std::vector<uint8_t> record = Verified(file);
  const size_t attribute = 0x38;
  const size_t length = record[attribute + 4];
  record[attribute + 0x18 + 0x40] = 255;
  ScanNode node;
  ParseAttributes(record, 0x38, node);
  EXPECT_EQ(node.parentId, 77u);
  EXPECT_EQ(node.name.size(), (length - 0x5A) / 2);
  EXPECT_EQ(node.name.substr(0, 3), u"abc");
  EXPECT_EQ(node.nameLength, node.name.size());

  // An 8.3 name as the last attribute before damage is kept.
  ScanNode shortOnly;
  const auto damaged = Verified(NtfsFileRecord().FileName(u"SHORT~1", 5, 2).RawAttribute(Attribute(0x30, 0, 8)));
  EXPECT_EQ(ParseAttributes(damaged, 0x38, shortOnly), 0);
  EXPECT_EQ(shortOnly.name, u"SHORT~1");

  // A value offset past its attribute reads as zeros, not as the next attribute's bytes.
  std::vector<uint8_t> info = Verified(NtfsFileRecord().StandardInformation(5, 6, 0x20));
  info[0x38 + 0x14] = 0xF0;
  ScanNode zeros;
  ParseAttributes(info, 0x38, zeros);
  EXPECT_EQ(zeros.created, 0u);
  EXPECT_EQ(zeros.attributes, 0);
}

TEST(NtfsAttributes, RandomRecordsNeverLeadTheWalkOutOfTheRecord) {
  std::mt19937 random(20240607);
  test::NonResidentAttribute stream;
  stream.name = u"s";
  stream.runs = {{4, 100}};
  stream.realSize = 16000;
  const std::vector<uint8_t> base = Verified(NtfsFileRecord()
                                                 .Flags(0)
                                                 .StandardInformation(1, 2, 3)
                                                 .FileName(u"SHORT~1", 5, 2)
                                                 .FileName(u"long name", 5, 1)
                                                 .ResidentData(std::vector<uint8_t>(100, 9))
                                                 .NonResident(stream));
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> record = base;
    const int flips = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < flips; ++i) record[random() % record.size()] = static_cast<uint8_t>(random());
    // The buffer is exactly the record: any read past it is caught by the sanitizer build.
    ScanNode node;
    const int result = ParseAttributes(record, LoadU16(record, 0x14), node);
    EXPECT_TRUE(result == 0 || result == 1);
    EXPECT_LE(node.name.size(), 255u);
    std::vector<NtfsRun> runs;
    DecodeDataRuns(record, random() % record.size(), runs);
    EXPECT_LE(runs.size(), record.size());
  }
}

TEST(NtfsAttributes, BuiltTableOpensFromTheMirrorAndLateAttributesAreRefused) {
  test::NtfsImageBuilder builder;
  builder.SetMftExtents({{16, 16, false}, {8, 200, false}});
  std::vector<uint8_t> image = builder.Build();
  const std::vector<uint8_t> pristine = image;
  EngineState sound;
  ASSERT_EQ(test::OpenMemorySource(sound, image), 1);
  ASSERT_EQ(sound.mftRuns.size(), 2u);
  EXPECT_EQ(sound.mftRuns[1].lcn, 200u);

  // The table's own record torn: the mirror's copy gives the same extents.
  image[16 * 4096 + 1022] ^= 0xFF;
  EngineState mirrored;
  ASSERT_EQ(test::OpenMemorySource(mirrored, image), 1);
  EXPECT_EQ(mirrored.mftRuns.size(), 2u);
  // Both torn: no table.
  image[8 * 4096 + 1022] ^= 0xFF;
  EngineState none;
  EXPECT_EQ(test::OpenMemorySource(none, image), 0);

  // A table record whose attributes start after byte 60 is not accepted.
  test::NtfsImageBuilder late;
  late.Record(0) = late.TableRecord().FirstAttributeOffset(64);
  EngineState refused;
  EXPECT_EQ(test::OpenMemorySource(refused, late.Build()), 0);
  EXPECT_EQ(pristine.size(), image.size());
}

}  // namespace
}  // namespace restora
