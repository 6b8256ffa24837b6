// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT walk over whole volumes built byte by byte: what the tree lists, long names across
// cluster boundaries, folder reads, progress counters and stopping.
#include <gtest/gtest.h>

#include "FatScan.h"
#include "FatScanTestSupport.h"
#include "FaultInjectingReader.h"

namespace restora {
namespace {

using test::FatEntry;
using test::FatImageBuilder;

FatEntry File(const char* shortName, std::u16string longName = {}, bool deleted = true) {
  FatEntry entry;
  entry.shortName = shortName;
  entry.longName = std::move(longName);
  entry.deleted = deleted;
  return entry;
}

FatEntry Folder(const char* shortName, std::u16string longName = {}, bool deleted = false) {
  FatEntry entry = File(shortName, std::move(longName), deleted);
  entry.attributes = test::kFatAttrFolder;
  return entry;
}

std::vector<uint8_t> Data(size_t size, uint32_t seed = 1) { return FatImageBuilder::Pattern(size, seed); }

class FatScanBothWidths : public ::testing::TestWithParam<test::FatWidth> {
 protected:
  FatImageBuilder NewVolume(uint8_t sectorsPerCluster = 1) const {
    return FatImageBuilder(test::FatLayout{GetParam(), 16384, sectorsPerCluster, 0, 0});
  }
};

INSTANTIATE_TEST_SUITE_P(Widths, FatScanBothWidths, ::testing::Values(test::FatWidth::Fat16, test::FatWidth::Fat32),
                         [](const auto& info) { return info.param == test::FatWidth::Fat16 ? "Fat16" : "Fat32"; });

TEST_P(FatScanBothWidths, EmptyVolumeGivesABareRootAndNeverListsTheLabel) {
  FatImageBuilder volume = NewVolume();
  FatEntry label = File("VOLUME LABEL", {}, false);
  label.attributes = test::kFatAttrLabel;
  volume.AddEntry(volume.RootFolder(), label);
  volume.AddFile(volume.RootFolder(), File("LIVE.TXT", u"a live file.txt", false), Data(700));
  const uint32_t rootCluster = volume.RootFolder();
  auto scanned = test::ScanVolume(volume.Take());
  ASSERT_EQ(scanned->opened, 1);
  EXPECT_EQ(scanned->result, 1);
  const ScanNode* root = scanned->Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->firstChild, nullptr);
  EXPECT_EQ(root->name, u".");
  EXPECT_EQ(root->status, kStatusLiveFolder);
  EXPECT_EQ(root->firstCluster, rootCluster);
}

TEST_P(FatScanBothWidths, ListsWhatWasDeletedUnderTheFoldersLeadingToIt) {
  FatImageBuilder v = NewVolume(2);
  const uint32_t root = v.RootFolder();
  v.AddFile(root, File("LIVE.TXT", {}, false), Data(3000));
  v.AddFile(root, File("OLDREP~1.TXT", u"old report.txt"), Data(5000));
  v.AddFile(root, File("GONE.TXT"), Data(10));
  v.AddFile(root, File("ZERO.TXT"), {});  // an empty file has no cluster and is not listed
  const uint32_t docs = v.AddFolder(root, Folder("DOCS", u"Documents"));
  v.AddFile(docs, File("KEEP.TXT", {}, false), Data(100));
  v.AddFile(docs, File("DRAFT~1.TXT", u"draft \u00fc\u2603.txt"), Data(1500));
  const uint32_t quiet = v.AddFolder(docs, Folder("QUIET"));  // only live files: removed
  v.AddFile(quiet, File("A.TXT", {}, false), Data(5));
  v.AddFolder(root, Folder("EMPTY"));  // nothing at all: removed
  const uint32_t trash = v.AddFolder(root, Folder("TRASH", {}, true));
  v.AddFile(trash, File("INSIDE.TXT", {}, false), Data(64));  // live-marked, in a deleted folder
  v.AddFile(trash, File("X.BIN"), Data(2048));
  const uint32_t sub = v.AddFolder(trash, Folder("SUB"));  // live-marked folder in a deleted one
  v.AddFile(sub, File("DEEP.TXT", {}, false), Data(3));

  auto scanned = test::ScanVolume(v.Take());
  ASSERT_EQ(scanned->opened, 1);
  EXPECT_EQ(scanned->result, 1);
  EXPECT_EQ(test::ListTree(scanned->Root()), (std::vector<std::string>{
                                                 "deleted-file 5000 old report.txt",
                                                 "deleted-file 10 XONE.TXT",
                                                 "folder 0 Documents",
                                                 "deleted-file 1500 Documents/draft \u00fc\u2603.txt",
                                                 "deleted-folder 0 XRASH",
                                                 "file 64 XRASH/INSIDE.TXT",
                                                 "deleted-file 2048 XRASH/X.BIN",
                                                 "folder 0 XRASH/SUB",
                                                 "file 3 XRASH/SUB/DEEP.TXT",
                                             }));
  // Numbered once at the end: consecutive among siblings, folder by folder.
  const ScanNode* first = scanned->Root()->firstChild;
  EXPECT_EQ(first->id, 1u);
  EXPECT_EQ(first->next->id, 2u);
  EXPECT_EQ(first->parentId, 0u);
  const ScanNode* documents = test::ChildNamed(scanned->Root(), "Documents");
  ASSERT_NE(documents, nullptr);
  EXPECT_EQ(documents->firstChild->parent, documents);
  EXPECT_EQ(documents->firstChild->parentId, documents->id);
}

TEST_P(FatScanBothWidths, LongNamesStraddlingClusterBoundariesOfAFragmentedFolder) {
  FatImageBuilder v = NewVolume();
  const uint32_t root = v.RootFolder();
  const uint32_t folder = v.AddFolder(root, Folder("BIG", u"a big folder"));
  v.AddFile(root, File("SPACER.BIN", {}, false), Data(3 * 512));  // the folder's next cluster lies apart
  // 16 entries per cluster; each file takes two long-name entries and its short entry.
  std::vector<std::string> expected{"folder 0 a big folder"};
  for (int i = 0; i < 24; ++i) {
    char shortName[16];
    std::snprintf(shortName, sizeof shortName, "FILE~%d.DAT", i);
    std::u16string longName = u"file number " + Utf8ToUtf16(std::to_string(i)) + u" of many.dat";
    const bool deleted = i % 2 == 1 || i == 4;
    v.AddFile(folder, File(shortName, longName, deleted), Data(100 + i, i));
    if (deleted) {
      expected.push_back("deleted-file " + std::to_string(100 + i) + " a big folder/" + Utf16ToUtf8(longName));
    }
  }
  // File 4's short entry opens the second cluster; file 15's long-name run is cut between the
  // third cluster and the fourth.
  auto scanned = test::ScanVolume(v.Take());
  EXPECT_EQ(test::ListTree(scanned->Root()), expected);
}

TEST_P(FatScanBothWidths, OnlyTheFirstEntryOfADuplicatedFirstClusterIsKept) {
  FatImageBuilder v = NewVolume();
  const uint32_t root = v.RootFolder();
  const uint32_t cluster = v.AddFile(root, File("FIRST.TXT"), Data(40));
  FatEntry again = File("SECOND.TXT");
  again.firstCluster = cluster;
  again.size = 40;
  v.AddEntry(root, again);
  const uint32_t other = v.AddFolder(root, Folder("OTHER"));
  v.AddEntry(other, again);  // in another folder the same cluster is listed again
  auto scanned = test::ScanVolume(v.Take());
  EXPECT_EQ(test::ListTree(scanned->Root()),
            (std::vector<std::string>{"deleted-file 40 XIRST.TXT", "folder 0 OTHER",
                                      "deleted-file 40 OTHER/XECOND.TXT"}));
}

TEST(FatScan, Fat16SubfolderIsParsedOnlyWithinItsCluster) {
  FatImageBuilder v = FatImageBuilder::Fat16(8192, 1);
  const uint32_t sub = v.AddFolder(v.RootFolder(), Folder("SUB"));
  v.FillTo(sub, 15);
  v.AddFile(sub, File("LAST.TXT"), Data(20), {100});  // fills the cluster: no end entry in it
  // The next cluster on disk belongs to a live file whose bytes look like directory entries.
  std::vector<uint8_t> lookalike(512, 0);
  const std::array<uint8_t, 11> name = FatImageBuilder::ShortNameBytes("\xE5STRAY.TXT");
  std::copy(name.begin(), name.end(), lookalike.begin());
  lookalike[0x0B] = 0x20, lookalike[0x1A] = 50, lookalike[0x1C] = 9;
  const uint32_t stray = v.AddFile(v.RootFolder(), File("STRAY.BIN", {}, false), lookalike);
  ASSERT_EQ(stray, sub + 1);
  auto scanned = test::ScanVolume(v.Take());
  EXPECT_EQ(test::ListTree(scanned->Root()),
            (std::vector<std::string>{"folder 0 SUB", "deleted-file 20 SUB/XAST.TXT"}));
}

TEST(FatScan, AdjacentFolderClustersAreReadTogether) {
  FatImageBuilder v = FatImageBuilder::Fat32(16384, 1);
  std::vector<std::string> expected;
  for (int i = 0; i < 120; ++i) {  // about eight 512-byte clusters of root, all adjacent
    const std::string name = "F" + std::to_string(i) + ".BIN";
    FatEntry entry = File(name.c_str());
    entry.firstCluster = static_cast<uint32_t>(5000 + i);
    entry.size = 1;
    v.AddEntry(2, entry);
    expected.push_back("deleted-file 1 X" + name.substr(1));
  }
  const uint64_t thirdRootCluster = v.ClusterOffset(4) / 512;
  std::vector<uint8_t> image = v.Take();

  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(image));
  FaultInjectingReader* counting = reader.get();
  EngineState state;
  ASSERT_EQ(OpenSource(state, OpenMode::Image, std::move(reader)), 1);
  state.keepRunning = 1;
  const uint64_t before = counting->ReadCount();
  ASSERT_EQ(ScanSource(state, 0), 1);
  // The root's FAT sector, one read of the whole root, the FAT sector of the files' clusters.
  EXPECT_EQ(counting->ReadCount() - before, 3u);
  EXPECT_EQ(test::ListTree(state.scanRoot), expected);

  // An unreadable cluster in the run reads as zeros: the folder ends there, as it would had
  // every cluster been read alone.
  auto failing = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(image));
  failing->FailSector(thirdRootCluster);
  EngineState damaged;
  ASSERT_EQ(OpenSource(damaged, OpenMode::Image, std::move(failing)), 1);
  damaged.keepRunning = 1;
  ASSERT_EQ(ScanSource(damaged, 0), 1);
  EXPECT_EQ(test::ListTree(damaged.scanRoot), std::vector<std::string>(expected.begin(), expected.begin() + 32));
}

// Records every progress step, and stops the walk at a chosen checkpoint.
class RecordingSink : public ProgressSink {
 public:
  explicit RecordingSink(int stopAtCheckpoint = 0) : stopAt_(stopAtCheckpoint) {}
  void Progress(uint64_t done, uint64_t total) override { steps.emplace_back(done, total); }
  void Diagnostic(std::string_view line) override { diagnostics.emplace_back(line); }
  void Checkpoint() override {
    if (++checkpoints == stopAt_ && state != nullptr) state->keepRunning = 0;
  }
  EngineState* state = nullptr;
  std::vector<std::pair<uint64_t, uint64_t>> steps;
  std::vector<std::string> diagnostics;
  int checkpoints = 0;

 private:
  int stopAt_;
};

std::unique_ptr<test::ScannedVolume> ScanWithSink(std::vector<uint8_t> image, RecordingSink& sink) {
  auto scanned = std::make_unique<test::ScannedVolume>();
  sink.state = scanned->state.get();
  scanned->opened = test::OpenMemorySource(*scanned->state, std::move(image));
  scanned->state->progress = &sink;
  scanned->state->keepRunning = 1;
  scanned->result = ScanSource(*scanned->state, 0);
  scanned->state->progress = nullptr;
  return scanned;
}

// root: deleted F1, folder D with deleted F2 and F3, deleted F4 (F4 left out when asked).
std::vector<uint8_t> SmallTree(bool withLastFile = true) {
  FatImageBuilder v = FatImageBuilder::Fat16(8192);
  const uint32_t root = v.RootFolder();
  v.AddFile(root, File("F1.TXT"), Data(10));
  const uint32_t folder = v.AddFolder(root, Folder("D"));
  v.AddFile(folder, File("F2.TXT"), Data(20));
  v.AddFile(folder, File("F3.TXT"), Data(30));
  if (withLastFile) v.AddFile(root, File("F4.TXT"), Data(40));
  return v.Take();
}

TEST(FatScan, ProgressCountsFilesWalkedOutOfFilesFoundSoFar) {
  RecordingSink sink;
  auto scanned = ScanWithSink(SmallTree(), sink);
  EXPECT_EQ(scanned->result, 1);
  // Root holds two files and a folder; the folder's two files join the total when it is read.
  const std::vector<std::pair<uint64_t, uint64_t>> expected{{0, 2}, {1, 2}, {1, 4}, {2, 4}, {3, 4}};
  EXPECT_EQ(sink.steps, expected);
  EXPECT_EQ(scanned->state->fileCount, 4u);
  EXPECT_EQ(scanned->state->totalBytes, 4u);
}

TEST(FatScan, StopKeepsWhatWasAttachedAndNumbersIt) {
  RecordingSink atOnce(1);
  auto stopped = ScanWithSink(SmallTree(), atOnce);
  EXPECT_EQ(stopped->result, 0);
  EXPECT_TRUE(atOnce.steps.empty());
  // The root's entries were attached before its first child; the unread folder stays as it is.
  EXPECT_EQ(test::ListTree(stopped->Root()),
            (std::vector<std::string>{"deleted-file 10 X1.TXT", "folder 0 D", "deleted-file 40 X4.TXT"}));
  EXPECT_EQ(stopped->Root()->firstChild->id, 1u);

  // A stop inside the root's last folder still reports the walk as stopped.
  RecordingSink inLastFolder(4);  // checkpoints: F1, D, F2, F3
  auto stoppedLate = ScanWithSink(SmallTree(false), inLastFolder);
  EXPECT_EQ(stoppedLate->result, 0);
  EXPECT_EQ(stoppedLate->state->fileCount, 2u);  // F1 and F2 were walked
  EXPECT_EQ(test::ListTree(stoppedLate->Root()),
            (std::vector<std::string>{"deleted-file 10 X1.TXT", "folder 0 D", "deleted-file 20 D/X2.TXT",
                                      "deleted-file 30 D/X3.TXT"}));
}

TEST(FatScan, UnreadableRootAreaLooksEmpty) {
  FatImageBuilder v = FatImageBuilder::Fat16(8192);
  v.AddFile(v.RootFolder(), File("GONE.TXT"), Data(10));
  const uint64_t rootSector = v.ClusterOffset(2) / 512 - 32;
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(v.Take()));
  reader->FailSector(rootSector + 5);
  EngineState state;
  ASSERT_EQ(OpenSource(state, OpenMode::Image, std::move(reader)), 1);
  state.keepRunning = 1;
  EXPECT_EQ(ScanSource(state, 0), 1);
  EXPECT_EQ(state.scanRoot->firstChild, nullptr);
}

}  // namespace
}  // namespace restora
