// SPDX-License-Identifier: GPL-3.0-or-later
// The NTFS table scan on synthetic volumes: which deleted files are listed, under which rebuilt
// folders and placeholders, in which order, and how damaged records and tables are survived.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FaultInjectingReader.h"
#include "NtfsImageBuilder.h"
#include "NtfsRecord.h"
#include "NtfsScan.h"
#include "ScanTree.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace restora {
namespace {

using test::NtfsImageBuilder;
using test::kRecordFolder;
using test::kRecordInUse;

constexpr uint16_t kDeletedFile = 0;
constexpr uint16_t kLiveFolder = kRecordInUse | kRecordFolder;
constexpr uint16_t kDeletedFolder = kRecordFolder;

std::vector<uint8_t> Bytes(size_t n, uint8_t fill = 0x41) { return std::vector<uint8_t>(n, fill); }

class RecordingSink : public ProgressSink {
 public:
  void Progress(uint64_t done, uint64_t total) override {
    if (steps == 0) firstDone = done;
    lastDone = done;
    totals.push_back(total);
    ++steps;
  }
  void Diagnostic(std::string_view line) override { diagnostics.emplace_back(line); }
  void Checkpoint() override {
    if (stopAfter > 0 && --stopAfter == 0) state->keepRunning = 0;
  }
  uint64_t steps = 0, firstDone = 0, lastDone = 0;
  std::vector<uint64_t> totals;
  std::vector<std::string> diagnostics;
  uint64_t stopAfter = 0;
  EngineState* state = nullptr;
};

// Every node below the root as "path size status" in list order, children after their folder.
std::vector<std::string> Listing(const ScanNode* root) {
  std::vector<std::string> lines;
  std::vector<std::pair<const ScanNode*, std::string>> stack{{root->firstChild, ""}};
  while (!stack.empty()) {
    auto& [node, prefix] = stack.back();
    if (node == nullptr) {
      stack.pop_back();
      continue;
    }
    const ScanNode* current = node;
    node = node->next;
    const std::string path = prefix + Utf16ToUtf8(current->name);
    lines.push_back(path + " " + std::to_string(current->size) + " " + std::to_string(current->status));
    if (current->firstChild != nullptr) stack.emplace_back(current->firstChild, path + "/");
  }
  return lines;
}

// Opens the built volume and runs the table scan under a fresh root, ids left as record numbers.
struct ScanRun {
  EngineState state;
  RecordingSink sink;
  NtfsScanStats stats;
  int opened = 0;
  int result = -1;

  explicit ScanRun(const NtfsImageBuilder& builder, size_t chunkBytes = size_t{1} << 20) {
    Open(std::make_unique<MemorySourceReader>(builder.Build()), chunkBytes);
  }
  ScanRun(std::unique_ptr<SourceReader> reader, size_t chunkBytes) { Open(std::move(reader), chunkBytes); }

  void Open(std::unique_ptr<SourceReader> reader, size_t chunkBytes) {
    sink.state = &state;
    state.progress = &sink;
    opened = OpenSource(state, OpenMode::Image, std::move(reader));
    if (opened != 1) return;
    state.scanRoot = NewNode(state);
    state.scanRoot->name = u".";
    state.scanRoot->status = kStatusLiveFolder;
    state.keepRunning = 1;
    NtfsScanTuning tuning;
    tuning.chunkBytes = chunkBytes;
    tuning.crossCheckSearch = true;
    tuning.stats = &stats;
    result = ScanMft(state, tuning);
  }
  std::vector<std::string> Lines() const { return Listing(state.scanRoot); }
  const ScanNode* Child(const ScanNode* folder, std::u16string_view name) const {
    for (const ScanNode* c = folder->firstChild; c != nullptr; c = c->next) {
      if (c->name == name) return c;
    }
    return nullptr;
  }
};

TEST(NtfsScan, DeletedFilesHangUnderTheirRebuiltFoldersNewestFirst) {
  NtfsImageBuilder b;
  b.AddFolder(30, u"docs", 5, kLiveFolder);
  b.AddFolder(31, u"old", 30, kDeletedFolder);
  b.AddFile(40, u"top.txt", 5, kDeletedFile).ResidentData(Bytes(10));
  b.AddFile(41, u"a.txt", 30, kDeletedFile).ResidentData(Bytes(11));
  b.AddFile(42, u"b.txt", 30, kDeletedFile).ResidentData(Bytes(12));
  b.AddFile(43, u"deep.bin", 31, kDeletedFile).NonResident(b.DataStream(Bytes(9000, 7), 3));
  b.AddFile(44, u"live.txt", 30, kRecordInUse).ResidentData(Bytes(13));
  b.AddFile(45, u"empty.txt", 30, kDeletedFile).ResidentData({});
  b.AddFolder(46, u"gone", 30, kDeletedFolder);  // a deleted folder with no deleted file in it

  ScanRun run(b);
  ASSERT_EQ(run.opened, 1);
  EXPECT_EQ(run.result, 1);
  // Head insertion: the folder made for a.txt moved ahead of top.txt, b.txt ahead of a.txt.
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"docs 0 3", "docs/old 0 2", "docs/old/deep.bin 9000 0",
                                                   "docs/b.txt 12 0", "docs/a.txt 11 0", "top.txt 10 0"}));
  EXPECT_EQ(run.stats.searchDisagreements, 0u);
  EXPECT_EQ(run.sink.diagnostics.size(), 0u);

  const ScanNode* docs = run.Child(run.state.scanRoot, u"docs");
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(docs->id, 30u);
  EXPECT_EQ(docs->parentId, 5u);
  EXPECT_EQ(docs->attributes, 0x10);
  const ScanNode* a = run.Child(docs, u"a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->id, 41u);
  EXPECT_EQ(a->parentId, 30u);
  EXPECT_EQ(a->created, 0x01D0000000000000u + 41);
  EXPECT_EQ(a->modified, 0x01D0000000001000u + 41);
  EXPECT_EQ(a->attributes, 0x20);
  EXPECT_EQ(a->nameLength, 5);
  // 4 KiB clusters at cluster 16, 1 KiB records: record 41 starts 41 KiB into the table.
  EXPECT_EQ(a->location, 16u * 8 + 41 * 2);
  EXPECT_EQ(docs->location, 16u * 8 + 30 * 2);
  // Progress: one step per record before it is read; the total is records per cluster × clusters.
  EXPECT_EQ(run.sink.steps, 64u);
  EXPECT_EQ(run.sink.firstDone, 0u);
  EXPECT_EQ(run.sink.lastDone, 63u);
  EXPECT_EQ(run.sink.totals.back(), 4u * 16);

  // After the driver's numbering pass the record numbers are gone; paths stay.
  NumberTree(run.state, run.state.scanRoot);
  EXPECT_EQ(docs->id, 1u);
  EXPECT_EQ(a->parentId, docs->id);
}

TEST(NtfsScan, ShortNameGivesWayOnlyToALongNameRightAfterIt) {
  NtfsImageBuilder b;
  auto file = [&b](uint64_t n) -> test::NtfsFileRecord& {
    return b.Record(n).Flags(kDeletedFile).StandardInformation(1, 2, 0x20);
  };
  file(40).FileName(u"LONGNA~1.TXT", 5, 2).FileName(u"long name.txt", 5, 1).ResidentData(Bytes(1));
  file(41).FileName(u"SEPARA~1.TXT", 5, 2).ResidentData(Bytes(2)).FileName(u"separated name.txt", 5, 1);
  file(42).FileName(u"written first.txt", 5, 1).FileName(u"WRITTE~1.TXT", 5, 2).ResidentData(Bytes(3));
  file(43).FileName(u"posix name", 5, 0).ResidentData(Bytes(4));
  // An 8.3 name followed by another 8.3 name: the second one is taken without a second look.
  file(44).FileName(u"FIRST~1", 5, 2).FileName(u"SECOND~1", 5, 2).ResidentData(Bytes(5));

  ScanRun run(b);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"SECOND~1 5 0", "posix name 4 0", "written first.txt 3 0",
                                                   "SEPARA~1.TXT 2 0", "long name.txt 1 0"}));
}

TEST(NtfsScan, TheLastDataAttributeGivesTheSize) {
  NtfsImageBuilder b;
  b.AddFile(40, u"stream after.txt", 5, kDeletedFile).ResidentData(Bytes(100)).ResidentData(Bytes(7), u"side");
  b.AddFile(41, u"big stream.txt", 5, kDeletedFile)
      .ResidentData(Bytes(5))
      .NonResident(b.DataStream(Bytes(20000, 3), 2, u"big"));
  b.AddFile(42, u"empty stream.txt", 5, kDeletedFile).ResidentData(Bytes(9)).ResidentData({}, u"zero");
  ScanRun run(b);
  // A file whose last stream is empty has size 0 and is not listed at all.
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"big stream.txt 20000 0", "stream after.txt 7 0"}));
}

TEST(NtfsScan, ParentsThatAreNoFoldersBecomeSharedPlaceholdersUnderTheRoot) {
  NtfsImageBuilder b;
  b.AddFile(20, u"was a folder", 5, kRecordInUse).ResidentData(Bytes(3));  // record reused by a file
  b.AddFile(40, u"one.txt", 20, kDeletedFile).StandardInformation(111, 222, 0x20).ResidentData(Bytes(1));
  b.AddFile(41, u"two.txt", 20, kDeletedFile).ResidentData(Bytes(2));
  b.AddFile(42, u"beyond.txt", 5000, kDeletedFile).ResidentData(Bytes(3));  // past the table
  b.AddFolder(21, u"broken", 5, kLiveFolder).BreakUpdateSequence(1);
  b.AddFile(43, u"under broken.txt", 21, kDeletedFile).ResidentData(Bytes(4));
  b.AddFolder(22, u"", 5, kLiveFolder);  // a folder whose name is empty cannot stand in a path
  b.AddFile(44, u"under nameless.txt", 22, kDeletedFile).ResidentData(Bytes(5));

  ScanRun run(b);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"#22 0 2", "#22/under nameless.txt 5 0", "#21 0 2",
                                                   "#21/under broken.txt 4 0", "#5000 0 2", "#5000/beyond.txt 3 0",
                                                   "#20 0 2", "#20/two.txt 2 0", "#20/one.txt 1 0"}));
  const ScanNode* placeholder = run.Child(run.state.scanRoot, u"#20");
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->id, 20u);
  EXPECT_EQ(placeholder->parentId, 5u);
  EXPECT_EQ(placeholder->location, 0u);
  EXPECT_EQ(placeholder->attributes, 0x30);
  // Times come from the file that made the placeholder (the file's second standard information
  // attribute overrides the first).
  EXPECT_EQ(placeholder->created, 111u);
  EXPECT_EQ(placeholder->modified, 222u);
  EXPECT_EQ(placeholder->nameLength, 3);
  // The damaged folder record is refused twice (in the scan and on the climb), once per reading.
  EXPECT_EQ(run.sink.diagnostics,
            (std::vector<std::string>{kIntegrityFailedLine, kIntegrityFailedLine}));
  EXPECT_EQ(run.stats.searchDisagreements, 0u);
}

TEST(NtfsScan, AFileAndPlaceholdersSharingARecordNumberResolveInSearchOrder) {
  NtfsImageBuilder b;
  // Record 20 is a deleted file in the root; files 15, 30 and 31 name it as their folder.
  b.AddFile(15, u"early.txt", 20, kDeletedFile).ResidentData(Bytes(1));
  b.AddFile(20, u"f20", 5, kDeletedFile).ResidentData(Bytes(2));
  b.AddFile(30, u"late.txt", 20, kDeletedFile).ResidentData(Bytes(3));
  b.AddFile(31, u"later.txt", 20, kDeletedFile).ResidentData(Bytes(4));
  ScanRun run(b);
  // early.txt made "#20"; then f20 went ahead of it at the root's head, so late.txt's search
  // met the file first and made a second "#20", which later.txt then found.
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"#20 0 2", "#20/later.txt 4 0", "#20/late.txt 3 0", "f20 2 0",
                                                   "#20 0 2", "#20/early.txt 1 0"}));
  EXPECT_EQ(run.stats.searchDisagreements, 0u);
  EXPECT_GT(run.stats.folderLookups, 0u);
}

TEST(NtfsScan, UpdateSequenceMismatchSkipsTheRecordWithOneLine) {
  NtfsImageBuilder b;
  b.AddFile(40, u"torn.txt", 5, kDeletedFile).ResidentData(Bytes(10)).BreakUpdateSequence(1);
  b.AddFile(41, u"whole.txt", 5, kDeletedFile).ResidentData(Bytes(11));
  b.AddFile(42, u"not mine.txt", 5, kDeletedFile).ResidentData(Bytes(12)).BaseRecord(40);  // extension
  b.AddFile(43, u"late attrs.txt", 5, kDeletedFile).ResidentData(Bytes(13)).FirstAttributeOffset(64);
  ScanRun run(b);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"whole.txt 11 0"}));
  EXPECT_EQ(run.sink.diagnostics, (std::vector<std::string>{kIntegrityFailedLine}));
}

// 512-byte clusters with 1 KiB records: no whole record fits a cluster.
test::NtfsGeometry SmallClusters() {
  test::NtfsGeometry g;
  g.sectorsPerCluster = 1;
  g.totalSectors = 4096;
  g.mftCluster = 64;
  g.mftMirrorCluster = 32;
  return g;
}

TEST(NtfsScan, RecordsLargerThanAClusterGiveProgressTotalZeroAndStillRebuildFolders) {
  NtfsImageBuilder b(SmallClusters());
  // A table in two extents of odd length, so that record 31 spans both.
  b.SetMftExtents({{63, 64, false}, {65, 200, false}});
  b.AddFolder(31, u"split", 5, kLiveFolder);
  b.AddFile(40, u"inside.txt", 31, kDeletedFile).ResidentData(Bytes(21));
  ScanRun run(b);
  ASSERT_EQ(run.opened, 1);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"split 0 3", "split/inside.txt 21 0"}));
  EXPECT_EQ(run.sink.steps, 64u);  // (63 + 65) clusters of 512 bytes hold 64 records
  for (uint64_t total : run.sink.totals) EXPECT_EQ(total, 0u);
}

TEST(NtfsScan, LoopingAndDeadEndParentChainsEnd) {
  NtfsImageBuilder b;
  b.AddFolder(30, u"ping", 31, kDeletedFolder);
  b.AddFolder(31, u"pong", 30, kDeletedFolder);
  b.AddFolder(32, u"self", 32, kDeletedFolder);
  b.AddFolder(33, u"under system", 2, kDeletedFolder);
  b.AddFile(40, u"in loop.txt", 30, kDeletedFile).ResidentData(Bytes(1));
  b.AddFile(41, u"in self.txt", 32, kDeletedFile).ResidentData(Bytes(2));
  b.AddFile(42, u"lost.txt", 33, kDeletedFile).ResidentData(Bytes(3));
  b.AddFile(43, u"lost too.txt", 33, kDeletedFile).ResidentData(Bytes(4));
  b.AddFile(44, u"no parent.txt", 0, kDeletedFile).ResidentData(Bytes(5));
  b.AddFile(45, u"ping again.txt", 30, kDeletedFile).ResidentData(Bytes(6));
  ScanRun run(b);
  // A loop ends at a placeholder for the record met twice. Record 30 is then both "#30" and
  // "ping"; the search meets the placeholder, a child of the root, first.
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"#32 0 2", "#32/self 0 2", "#32/self/in self.txt 2 0",
                                                   "#30 0 2", "#30/ping again.txt 6 0", "#30/pong 0 2",
                                                   "#30/pong/ping 0 2", "#30/pong/ping/in loop.txt 1 0"}));
  EXPECT_EQ(run.stats.droppedChains, 3u);
  // Dropped chains give their nodes back: only the root and the listed nodes remain.
  EXPECT_EQ(run.state.pool.LiveCount(), 1 + CountNodes(run.state.scanRoot));
  EXPECT_EQ(run.stats.searchDisagreements, 0u);
}

TEST(NtfsScan, RecordsWithoutANameOrDataNeverReachTheTree) {
  NtfsImageBuilder b;
  b.Record(40).Flags(kDeletedFile).StandardInformation(1, 2, 0x20).ResidentData(Bytes(50));
  b.AddFile(41, u"", 5, kDeletedFile).ResidentData(Bytes(51));
  b.AddFile(42, u"named.txt", 5, kDeletedFile).ResidentData(Bytes(52));
  ScanRun run(b);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"named.txt 52 0"}));
  EXPECT_EQ(run.state.pool.LiveCount(), 2u);
}

TEST(NtfsScan, ChunkedReadsGiveTheSameTreeAsSingleRecordReads) {
  NtfsImageBuilder b;
  b.SetMftExtents({{5, 16, false}, {6, 40, false}, {5, 30, false}});  // 64 records in three pieces
  for (uint64_t n = 24; n < 64; ++n) {
    if (n % 5 == 0) {
      b.AddFolder(n, u"folder" + Utf8ToUtf16(std::to_string(n)), n > 30 ? n - 5 : 5, n % 2 ? kLiveFolder : kDeletedFolder);
    } else {
      b.AddFile(n, u"file" + Utf8ToUtf16(std::to_string(n)), n - n % 5, n % 3 ? kDeletedFile : kRecordInUse)
          .ResidentData(Bytes(n));
    }
  }
  ScanRun single(b, 1024);
  ScanRun three(b, 3 * 1024);
  ScanRun large(b);
  EXPECT_FALSE(large.Lines().empty());
  EXPECT_EQ(single.Lines(), large.Lines());
  EXPECT_EQ(three.Lines(), large.Lines());
  EXPECT_EQ(single.sink.steps, large.sink.steps);

  // A failing sector inside a large read costs only the record that holds it.
  const uint64_t sectorOf44 = *b.RecordOffset(44) / 512;
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(b.Build()));
  reader->FailSector(sectorOf44 + 1);
  ScanRun faulty(std::move(reader), size_t{1} << 20);
  std::vector<std::string> expected = large.Lines();
  std::erase_if(expected, [](const std::string& line) { return line.find("file44 ") != std::string::npos; });
  EXPECT_EQ(faulty.Lines(), expected);
}

TEST(NtfsScan, StopEndsTheScanAndKeepsWhatWasAttached) {
  NtfsImageBuilder b;
  b.AddFile(30, u"first.txt", 5, kDeletedFile).ResidentData(Bytes(1));
  b.AddFile(50, u"second.txt", 5, kDeletedFile).ResidentData(Bytes(2));
  EngineState state;
  RecordingSink sink;
  sink.state = &state;
  state.progress = &sink;
  ASSERT_EQ(test::OpenMemorySource(state, b.Build()), 1);
  state.scanRoot = NewNode(state);
  state.keepRunning = 1;
  sink.stopAfter = 40;  // the 40th check clears the flag
  EXPECT_EQ(ScanMft(state), 0);
  EXPECT_EQ(Listing(state.scanRoot), (std::vector<std::string>{"first.txt 1 0"}));
  EXPECT_EQ(sink.steps, 39u);
}

TEST(NtfsScan, DamagedTablesEndQuickly) {
  // Run lists that claim far more table than the volume holds, lie past 64-bit offsets, or
  // hold a vast sparse extent (which must not be read from the volume's start instead).
  for (const std::vector<test::BuilderRun>& extents :
       {std::vector<test::BuilderRun>{{16, 16, false}, {0xFFFFFFFF, 5000, false}},
        std::vector<test::BuilderRun>{{16, 16, false}, {0xFFFFFF, 0x7FFFFFFFFFFFFFFF, false}},
        std::vector<test::BuilderRun>{{16, 16, false}, {0xFFFFFFFF, 0, true}}}) {
    NtfsImageBuilder b;
    b.SetMftExtents(extents);
    b.AddFile(40, u"kept.txt", 5, kDeletedFile).ResidentData(Bytes(3));
    ScanRun run(b);
    ASSERT_EQ(run.opened, 1);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"kept.txt 3 0"}));
  }
}

TEST(NtfsScan, HostileRecordsAreSurvivedAndTheIndexStillAgrees) {
  NtfsImageBuilder b;
  for (uint64_t n = 24; n < 64; ++n) {
    const uint64_t parent = n % 4 == 0 ? 5 : 24 + (n * 7) % 40;
    if (n % 3 == 0) {
      b.AddFolder(n, u"d" + Utf8ToUtf16(std::to_string(n)), parent, n % 2 ? kLiveFolder : kDeletedFolder);
    } else {
      b.AddFile(n, u"f" + Utf8ToUtf16(std::to_string(n)), parent, kDeletedFile).ResidentData(Bytes(n));
    }
  }
  const std::vector<uint8_t> pristine = b.Build();
  const uint64_t tableStart = *b.RecordOffset(0);
  std::mt19937 random(99);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> image = pristine;
    // Damage inside records 6..63 only, so that the table itself still opens.
    for (int i = 0; i < 200; ++i) {
      const uint64_t at = tableStart + 6 * 1024 + random() % (58 * 1024);
      image[at] = static_cast<uint8_t>(random());
    }
    ScanRun run(std::make_unique<MemorySourceReader>(std::move(image)), 1024 * (1 + random() % 8));
    ASSERT_EQ(run.opened, 1);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.stats.searchDisagreements, 0u);
    EXPECT_EQ(run.state.pool.LiveCount(), 1 + CountNodes(run.state.scanRoot));
    for (const std::string& line : run.Lines()) {
      EXPECT_TRUE(line.front() != ' ' && line.find("/ ") == std::string::npos && line.find("//") == std::string::npos)
          << "a node without a name: " << line;
    }
  }
}

}  // namespace
}  // namespace restora
