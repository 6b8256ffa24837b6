// SPDX-License-Identifier: GPL-3.0-or-later
// NTFS: the record check and its update sequence, run lists, the table scan on built volumes
// (rebuilt folders, placeholders, names, loops, damaged records), an entry's data through its
// record (extents, initialized size, sparse extents, named streams) and real compressed units.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "FatImageBuilder.h"
#include "NtfsData.h"
#include "NtfsImageBuilder.h"
#include "NtfsRecord.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::NtfsImageBuilder;
constexpr uint16_t kDeletedFile = 0;
constexpr uint16_t kLiveFolder = test::kRecordInUse | test::kRecordFolder;
constexpr uint16_t kDeletedFolder = test::kRecordFolder;

std::vector<uint8_t> Bytes(size_t n, uint8_t fill = 0x41) { return std::vector<uint8_t>(n, fill); }

TEST(NtfsRecord, VerifyPutsBackTheSectorEndsAndRefusesWhatIsNoRecord) {
  EngineState state;
  test::RecordingSink sink;
  state.progress = &sink;
  state.volumeInfo.sectorsPerRecord = 2;
  test::NtfsFileRecord file;
  file.FileName(u"x", 5).ResidentData(Bytes(600, 'r'));  // the data crosses the first sector's end
  const std::vector<uint8_t> good = file.Encode(1024, 40);
  std::vector<uint8_t> record = good;
  ASSERT_NE(record[510], 'r');  // the builder applied the update sequence
  EXPECT_EQ(VerifyRecord(state, record), 0x38u);
  EXPECT_EQ(record[510], 'r');
  EXPECT_EQ(record[1022], 0);

  const std::vector<std::pair<size_t, uint8_t>> damages = {{0, 'B'}, {5, 1}, {0x20, 7}};  // magic, sequence offset, base
  for (const auto& [at, value] : damages) {
    (record = good)[at] = value;
    EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused) << at;
  }
  EXPECT_TRUE(sink.diagnostics.empty());
  (record = good)[1022] ^= 1;  // a torn write in the second sector
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  EXPECT_EQ(sink.diagnostics, std::vector<std::string>{"ERROR,FileRecord's Integrity failed,VerifyRecord,"});
  for (uint8_t sectors : {uint8_t{0}, uint8_t{4}}) {  // a buffer shorter than the declared record
    state.volumeInfo.sectorsPerRecord = sectors;
    EXPECT_EQ(VerifyRecord(state, record = good), kVerifyRefused);
  }
}

TEST(NtfsRecord, RunListsDecodeSignedOffsetsSparseExtentsAndEndInsideTheirBuffer) {
  struct Case {
    std::vector<uint8_t> bytes;
    size_t at;
    std::vector<std::pair<uint64_t, uint64_t>> runs;  // length, lcn
  };
  const Case cases[] = {
      {{0x21, 0x10, 0x00, 0x10, 0x11, 0x05, 0xF0, 0x01, 0x07, 0x31, 0x02, 0x00, 0x00, 0x01, 0x00},
       0,
       {{16, 0x1000}, {5, 0x1000 - 16}, {7, 0}, {2, 0x1000 - 16 + 0x10000}}},
      {{0x11, 0x04, 0x02, 0x44, 0x01}, 0, {{4, 2}}},                       // a field past the buffer
      {{0x19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 0}, 0, {}},                    // a field wider than 8 bytes
      {{0x11, 1, 1}, 50, {}},                                              // a start past the buffer
      {{0x11, 1, 1, 0x11, 1, 1}, 0, {{1, 1}, {1, 2}}},                     // no end byte
  };
  for (const Case& c : cases) {
    std::vector<NtfsRun> list{{99, 99}};
    EXPECT_EQ(DecodeDataRuns(c.bytes, c.at, list), 1);
    std::vector<std::pair<uint64_t, uint64_t>> got;
    for (const NtfsRun& run : list) got.emplace_back(run.length, run.lcn);
    EXPECT_EQ(got, c.runs);
  }
}

struct ScanCase {
  const char* name;
  std::function<void(NtfsImageBuilder&)> build;
  std::vector<std::string> lines;
  size_t diagnostics = 0;
};

class NtfsListing : public ::testing::TestWithParam<ScanCase> {};

TEST_P(NtfsListing, ListsWhatTheTableHolds) {
  NtfsImageBuilder b;
  GetParam().build(b);
  test::RecordingSink sink;
  auto scanned = test::ScanVolume(b.Build(), &sink);
  ASSERT_EQ(scanned->result, 1);
  EXPECT_EQ(scanned->Lines(), GetParam().lines);
  EXPECT_EQ(sink.diagnostics.size(), GetParam().diagnostics);
  EXPECT_EQ(test::TreeFault(scanned->state), "");
}

const ScanCase kScanCases[] = {
    {"DeletedFilesUnderTheirRebuiltFoldersNewestFirst",
     [](NtfsImageBuilder& b) {
       b.AddFolder(30, u"docs", 5, kLiveFolder);
       b.AddFolder(31, u"old", 30, kDeletedFolder);
       b.AddFile(40, u"top.txt", 5, kDeletedFile).ResidentData(Bytes(10));
       b.AddFile(41, u"a.txt", 30, kDeletedFile).ResidentData(Bytes(11));
       b.AddFile(42, u"b.txt", 30, kDeletedFile).ResidentData(Bytes(12));
       b.AddFile(43, u"deep.bin", 31, kDeletedFile).NonResident(b.DataStream(Bytes(9000, 7), 3));
       b.AddFile(44, u"live.txt", 30, test::kRecordInUse).ResidentData(Bytes(13));
       b.AddFile(45, u"empty.txt", 30, kDeletedFile).ResidentData({});
       b.AddFolder(46, u"gone", 30, kDeletedFolder);  // no deleted file in it
       b.AddFile(47, u"stream.txt", 5, kDeletedFile).ResidentData(Bytes(100)).ResidentData(Bytes(7), u"side");
     },
     {"deleted-file 7 stream.txt", "folder 0 docs", "deleted-folder 0 docs/old", "deleted-file 9000 docs/old/deep.bin",
      "deleted-file 12 docs/b.txt", "deleted-file 11 docs/a.txt", "deleted-file 10 top.txt"},
     0},
    {"ParentsThatAreNoFoldersBecomePlaceholders",
     [](NtfsImageBuilder& b) {
       b.AddFile(20, u"was a folder", 5, test::kRecordInUse).ResidentData(Bytes(3));
       b.AddFile(40, u"one.txt", 20, kDeletedFile).ResidentData(Bytes(1));
       b.AddFile(41, u"two.txt", 20, kDeletedFile).ResidentData(Bytes(2));
       b.AddFile(42, u"beyond.txt", 5000, kDeletedFile).ResidentData(Bytes(3));  // past the table
       b.AddFolder(21, u"broken", 5, kLiveFolder).BreakUpdateSequence(1);
       b.AddFile(43, u"under broken.txt", 21, kDeletedFile).ResidentData(Bytes(4));
       b.AddFolder(22, u"", 5, kLiveFolder);  // a nameless folder cannot stand in a path
       b.AddFile(44, u"under nameless.txt", 22, kDeletedFile).ResidentData(Bytes(5));
     },
     {"deleted-folder 0 #22", "deleted-file 5 #22/under nameless.txt", "deleted-folder 0 #21",
      "deleted-file 4 #21/under broken.txt", "deleted-folder 0 #5000", "deleted-file 3 #5000/beyond.txt",
      "deleted-folder 0 #20", "deleted-file 2 #20/two.txt", "deleted-file 1 #20/one.txt"},
     2},
    {"LoopingAndDeadEndParentChainsEnd",
     [](NtfsImageBuilder& b) {
       b.AddFolder(30, u"ping", 31, kDeletedFolder);
       b.AddFolder(31, u"pong", 30, kDeletedFolder);
       b.AddFolder(32, u"self", 32, kDeletedFolder);
       b.AddFolder(33, u"under system", 2, kDeletedFolder);
       b.AddFile(40, u"in loop.txt", 30, kDeletedFile).ResidentData(Bytes(1));
       b.AddFile(41, u"in self.txt", 32, kDeletedFile).ResidentData(Bytes(2));
       b.AddFile(42, u"lost.txt", 33, kDeletedFile).ResidentData(Bytes(3));
       b.AddFile(44, u"no parent.txt", 0, kDeletedFile).ResidentData(Bytes(5));
       b.AddFile(45, u"ping again.txt", 30, kDeletedFile).ResidentData(Bytes(6));
     },
     {"deleted-folder 0 #32", "deleted-folder 0 #32/self", "deleted-file 2 #32/self/in self.txt",
      "deleted-folder 0 #30", "deleted-file 6 #30/ping again.txt", "deleted-folder 0 #30/pong",
      "deleted-folder 0 #30/pong/ping", "deleted-file 1 #30/pong/ping/in loop.txt"},
     0},
    {"DamagedRecordsAndNamesGiveWay",
     [](NtfsImageBuilder& b) {
       b.AddFile(40, u"torn.txt", 5, kDeletedFile).ResidentData(Bytes(10)).BreakUpdateSequence(1);
       b.AddFile(41, u"whole.txt", 5, kDeletedFile).ResidentData(Bytes(11));
       b.AddFile(42, u"not mine.txt", 5, kDeletedFile).ResidentData(Bytes(12)).BaseRecord(40);
       b.AddFile(43, u"late attrs.txt", 5, kDeletedFile).ResidentData(Bytes(13)).FirstAttributeOffset(64);
       b.Record(44).Flags(kDeletedFile).StandardInformation(1, 2, 0x20).ResidentData(Bytes(50));  // no name
       auto file = [&b](uint64_t n) -> test::NtfsFileRecord& {
         return b.Record(n).Flags(kDeletedFile).StandardInformation(1, 2, 0x20);
       };
       file(50).FileName(u"LONGNA~1.TXT", 5, 2).FileName(u"long name.txt", 5, 1).ResidentData(Bytes(1));
       file(51).FileName(u"SEPARA~1.TXT", 5, 2).ResidentData(Bytes(2)).FileName(u"separated name.txt", 5, 1);
       file(52).FileName(u"written first.txt", 5, 1).FileName(u"WRITTE~1.TXT", 5, 2).ResidentData(Bytes(3));
     },
     {"deleted-file 3 written first.txt", "deleted-file 2 SEPARA~1.TXT", "deleted-file 1 long name.txt",
      "deleted-file 11 whole.txt"},
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, NtfsListing, ::testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NtfsData, ExtentsInitializedSizeSparseExtentsAndStreams) {
  NtfsImageBuilder b;
  const std::vector<uint8_t> noise = test::FatImageBuilder::Pattern(40000, 9);
  std::vector<uint8_t> expected[6];
  expected[0] = std::vector<uint8_t>(noise.begin(), noise.begin() + 300);
  b.AddFile(40, u"resident", 5, 0).ResidentData(expected[0]);
  expected[1] = noise;
  b.AddFile(41, u"fragmented", 5, 0).NonResident(b.DataStream(noise, 4));
  test::NonResidentAttribute half = b.DataStream(noise);
  half.initializedSize = 10000;
  expected[2] = noise;
  std::fill(expected[2].begin() + 10000, expected[2].end(), 0);
  b.AddFile(42, u"initialized", 5, 0).NonResident(half);
  test::NonResidentAttribute sparse = b.DataStream(std::vector<uint8_t>(noise.begin(), noise.begin() + 4096));
  sparse.runs.insert(sparse.runs.begin(), {2, 0, true});
  sparse.runs.push_back({1, 0, true});
  sparse.realSize = *(sparse.initializedSize = 4 * 4096 - 10);
  sparse.flags = test::kAttributeSparse;
  expected[3] = std::vector<uint8_t>(2 * 4096, 0);
  expected[3].insert(expected[3].end(), noise.begin(), noise.begin() + 4096);
  expected[3].resize(4 * 4096 - 10, 0);
  b.AddFile(43, u"sparse", 5, 0).NonResident(sparse);
  expected[4] = std::vector<uint8_t>(noise.begin(), noise.begin() + 600);  // the first stream with content
  b.AddFile(44, u"streams", 5, 0).ResidentData({}).ResidentData(expected[4], u"ADS");
  b.AddFile(45, u"empty", 5, 0).ResidentData({});
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, b.Build()), 1);
  for (uint64_t n = 40; n <= 45; ++n) {
    ScanNode node;
    node.location = *b.RecordOffset(n) / 512;
    test::MemoryOutputFile out;
    EXPECT_EQ(CopyNtfsData(state, node, out), 1) << n;
    EXPECT_TRUE(out.bytes == expected[n - 40]) << n;
  }
  CleanUp(state);
}

TEST(NtfsData, WindowsCompressedUnitsMatchTheSleuthKit) {
  // ones.bin keeps its data in extension record 39 (VCN 0 to 1391); seen as a base record (the
  // reference to its base cleared) its units decompress to the start of the file.
  const std::string image = test::CorpusFolder() + "/velociraptor-ntfs-compressed.img";
  std::vector<uint8_t> bytes = test::ReadWholeFile(image);
  if (bytes.empty() || std::system("icat -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs the sample and icat";
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, bytes), 1);
  const uint64_t clusterBytes = uint64_t{state.volumeInfo.ntfsSectorsPerCluster} * 512;
  uint64_t offset = 39 * RecordBytes(state.volumeInfo);
  ScanNode node;
  for (const NtfsRun& run : state.mftRuns) {
    if (offset < run.length * clusterBytes && node.location == 0) node.location = (run.lcn * clusterBytes + offset) / 512;
    offset -= std::min(offset, run.length * clusterBytes);
  }
  CleanUp(state);
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(node.location * 512 + 0x20), 8, 0);
  ASSERT_EQ(test::OpenMemorySource(state, bytes), 1);
  test::MemoryOutputFile out;
  // The record holds only the file's first 1392 KiB, so the copy is short of its size: incomplete.
  EXPECT_EQ(CopyNtfsData(state, node, out), 0);
  test::TempFolder temp;
  ASSERT_EQ(std::system(("icat '" + image + "' 38 > " + temp.Path() + "/ones.bin").c_str()), 0);
  const std::vector<uint8_t> whole = test::ReadWholeFile(temp.Path() + "/ones.bin");
  ASSERT_EQ(whole.size(), 2949120u);
  ASSERT_EQ(out.bytes.size(), 1392u * 1024u);
  EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), whole.begin()));
  CleanUp(state);
}

}  // namespace
}  // namespace restora
