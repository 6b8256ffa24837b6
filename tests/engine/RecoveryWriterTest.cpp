// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery writer on hand-built trees, saving into a real temporary folder: what is checked
// and what is not, renaming on a second save, hostile names, a destination that refuses, a stop
// in the middle, deep trees, and the copy of found files as runs of sectors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FaultInjectingReader.h"
#include "FatData.h"
#include "RawData.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanTree.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

using test::AddNode;
using test::ListTree;
namespace fs = std::filesystem;

constexpr uint64_t kVolumeSectors = 16384;  // 8 MiB

// Every byte tells where it was read: the low bytes of its sector number and of its offset.
std::vector<uint8_t> PatternVolume() {
  std::vector<uint8_t> bytes(kVolumeSectors * kSectorSize);
  for (size_t sector = 0; sector < kVolumeSectors; ++sector) {
    for (size_t offset = 0; offset < kSectorSize; ++offset) {
      bytes[sector * kSectorSize + offset] = static_cast<uint8_t>(sector * 7 + offset % 251);
    }
  }
  return bytes;
}

class RecoveryWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    volume = PatternVolume();
    state.volumeInfo.kind = SourceKind::Fat32;
    state.volumeInfo.totalSectors = kVolumeSectors;
    state.volumeInfo.fatSectorsPerCluster = 8;
    state.deviceHandle = std::make_unique<MemorySourceReader>(volume);
    state.keepRunning = 1;
    root = NewNode(state);
    root->name = u".";
    root->status = kStatusLiveFolder;
    state.scanRoot = root;
    std::string error;
    destination = PosixDestination::Open(temp.Path(), &error);
    ASSERT_TRUE(destination) << error;
  }

  // A file found by the signature search: size bytes from sector start.
  ScanNode* AddFound(ScanNode* folder, std::u16string name, uint32_t start, uint64_t size, uint8_t checked = 1) {
    ScanNode* node = AddNode(state, folder, std::move(name), checked);
    node->carveSource = kCarveVolume;
    node->firstCluster = start;
    node->size = size;
    return node;
  }

  std::vector<uint8_t> Slice(uint64_t start, uint64_t size) const {
    const auto begin = volume.begin() + static_cast<std::ptrdiff_t>(start * kSectorSize);
    return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(size));
  }

  std::vector<uint8_t> Saved(const std::string& relative) const {
    return test::ReadWholeFile(temp.Path() + "/" + relative);
  }

  int Save(SaveSummary* summary = nullptr, SaveListener* listener = nullptr) {
    return SaveCheckedEntries(state, *destination, summary, listener);
  }

  test::TempFolder temp;
  std::vector<uint8_t> volume;
  EngineState state;
  ScanNode* root = nullptr;
  std::unique_ptr<PosixDestination> destination;
};

class RecordingListener final : public SaveListener {
 public:
  void EntrySaved(const SavedEntry& entry) override { entries.push_back(entry); }
  std::vector<SavedEntry> entries;
};

TEST_F(RecoveryWriterTest, NothingCheckedLeavesAnEmptySaveFolder) {
  AddFound(root, u"a.jpg", 10, 1000, 0);
  ScanNode* folder = AddNode(state, root, u"docs", 0);
  AddFound(folder, u"b.txt", 20, 100, 0);
  SaveSummary summary;
  EXPECT_EQ(Save(&summary), 1);
  EXPECT_EQ(ListTree(temp.Path()), (std::map<std::string, int64_t>{{"#", -1}}));
  EXPECT_EQ(state.fileCount, 0u);
  EXPECT_EQ(summary.written, 0u);
  EXPECT_EQ(summary.Failures(), 0u);
}

TEST_F(RecoveryWriterTest, SavesCheckedEntriesWithTheirDataAndSkipsUncheckedFolders) {
  ScanNode* docs = AddNode(state, root, u"docs");
  AddFound(docs, u"a.txt", 100, 5000);
  AddFound(docs, u"unchecked.txt", 200, 10, 0);
  ScanNode* inner = AddNode(state, docs, u"inner");
  AddFound(inner, u"deep.bin", 300, 1024 * 1024 + 512);
  ScanNode* skipped = AddNode(state, root, u"skipped", 0);
  AddFound(skipped, u"inside.txt", 400, 10);  // checked, but its folder is not
  AddFound(root, u"top.bin", 500, 197120);
  AddNode(state, root, u"Raw Data");  // a checked folder without children is written as a file

  RecordingListener listener;
  SaveSummary summary;
  EXPECT_EQ(Save(&summary, &listener), 1);
  const std::map<std::string, int64_t> expected{
      {"#", -1},          {"#/docs", -1}, {"#/docs/a.txt", 5000}, {"#/docs/inner", -1},
      {"#/docs/inner/deep.bin", 1024 * 1024 + 512}, {"#/top.bin", 197120}, {"#/Raw Data", 0}};
  EXPECT_EQ(ListTree(temp.Path()), expected);
  EXPECT_EQ(Saved("#/docs/a.txt"), Slice(100, 5000));
  EXPECT_EQ(Saved("#/docs/inner/deep.bin"), Slice(300, 1024 * 1024 + 512));
  EXPECT_EQ(Saved("#/top.bin"), Slice(500, 197120));
  EXPECT_EQ(state.fileCount, 6u);
  EXPECT_EQ(summary.written, 6u);
  // Files of a folder come before its subfolders' content: the root's entries first.
  std::vector<std::string> order;
  for (const SavedEntry& entry : listener.entries) order.push_back(entry.path);
  EXPECT_EQ(order, (std::vector<std::string>{"#/docs", "#/top.bin", "#/Raw Data", "#/docs/a.txt", "#/docs/inner",
                                             "#/docs/inner/deep.bin"}));
}

TEST_F(RecoveryWriterTest, SavingTwiceSuffixesFoldersAndReplacesTopLevelFiles) {
  ScanNode* docs = AddNode(state, root, u"docs");
  AddFound(docs, u"a.txt", 100, 700);
  AddFound(root, u"top.bin", 500, 600);
  ScanNode* more = AddNode(state, root, u"more");
  AddFound(more, u"m.txt", 600, 50);
  ASSERT_EQ(Save(), 1);
  ASSERT_EQ(Save(), 1);
  // The folder's renaming counter is shared by its entries: the second clash gets 2.
  EXPECT_EQ(docs->name, u"docs_#_1");
  EXPECT_EQ(more->name, u"more_#_2");
  const std::map<std::string, int64_t> expected{
      {"#", -1},           {"#/docs", -1},          {"#/docs/a.txt", 700},      {"#/top.bin", 600},
      {"#/more", -1},      {"#/more/m.txt", 50},    {"#/docs_#_1", -1},         {"#/docs_#_1/a.txt", 700},
      {"#/more_#_2", -1},  {"#/more_#_2/m.txt", 50}};
  EXPECT_EQ(ListTree(temp.Path()), expected);
  EXPECT_EQ(Saved("#/more_#_2/m.txt"), Slice(600, 50));
  // A third save starts from the names the nodes kept, so suffixes accumulate.
  ASSERT_EQ(Save(), 1);
  EXPECT_EQ(docs->name, u"docs_#_1_#_1");
  EXPECT_EQ(Saved("#/docs_#_1_#_1/a.txt"), Slice(100, 700));
}

TEST_F(RecoveryWriterTest, TwoSiblingFilesOfOneNameAreBothKept) {
  // A file this save wrote is never replaced by another entry of the same save: the second takes
  // a suffix as a folder would.
  AddFound(root, u"same.txt", 100, 3000);
  ScanNode* second = AddFound(root, u"same.txt", 200, 1000);
  ASSERT_EQ(Save(), 1);
  EXPECT_EQ(Saved("#/same.txt"), Slice(100, 3000));
  EXPECT_EQ(Saved("#/same.txt_#_1"), Slice(200, 1000));
  EXPECT_EQ(second->name, u"same.txt_#_1");
  EXPECT_EQ(ListTree(temp.Path()).size(), 3u);
}

TEST_F(RecoveryWriterTest, HostileNamesStayInsideTheSaveFolder) {
  // The destination sits in a parent folder of its own, which must stay untouched.
  const std::string inside = temp.Path() + "/dest";
  fs::create_directory(inside);
  destination = PosixDestination::Open(inside, nullptr);
  ASSERT_TRUE(destination);
  ScanNode* dots = AddNode(state, root, u"..");
  AddFound(dots, u"../../escape", 10, 100);
  AddFound(root, u"../../etc/passwd", 11, 100);
  AddFound(root, u".", 12, 100);
  AddFound(root, u"", 13, 100);
  AddFound(root, std::u16string(u"nul\0here\x01\x7f", 10), 14, 100);
  AddFound(root, std::u16string(300, u'\u00e9') + u".txt", 15, 100);  // 600 UTF-8 bytes
  AddFound(root, u"back\\slash:colon", 16, 100);

  SaveSummary summary;
  ASSERT_EQ(Save(&summary), 1);
  EXPECT_EQ(summary.written, 8u);
  EXPECT_EQ(ListTree(temp.Path() ).count("escape"), 0u);
  const std::map<std::string, int64_t> tree = ListTree(inside);
  EXPECT_EQ(tree.count("#/__"), 1u);
  EXPECT_EQ(tree.count("#/__/.._.._escape"), 1u);
  EXPECT_EQ(tree.count("#/.._.._etc_passwd"), 1u);
  EXPECT_EQ(tree.count("#/_"), 1u);  // both "." and "" map here; the second takes a suffix
  EXPECT_EQ(tree.count("#/_#_1"), 1u);
  EXPECT_EQ(tree.count("#/nul_here__"), 1u);
  EXPECT_EQ(tree.count("#/back\\slash:colon"), 1u);
  EXPECT_EQ(Saved("dest/#/_"), Slice(12, 100));
  EXPECT_EQ(Saved("dest/#/_#_1"), Slice(13, 100));
  size_t longNames = 0;
  for (const auto& [path, size] : tree) {
    const std::string name = fs::path(path).filename().string();
    EXPECT_LE(name.size(), 255u);
    if (name.size() > 200) {
      ++longNames;
      EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    }
  }
  EXPECT_EQ(longNames, 1u);
  // The parent holds nothing but the destination, and the names on the nodes are as found.
  EXPECT_EQ(fs::path(ListTree(temp.Path()).begin()->first), fs::path("dest"));
  EXPECT_EQ(dots->name, u"..");
  EXPECT_EQ(dots->firstChild->name, u"../../escape");
}

TEST_F(RecoveryWriterTest, ASaveFolderThatCannotBeMadeStopsBeforeWritingAnything) {
  std::ofstream(temp.Path() + "/#") << "a file where the folder should be";
  AddFound(root, u"a.txt", 10, 100);
  SaveSummary summary;
  EXPECT_EQ(Save(&summary), 0);
  EXPECT_FALSE(summary.destinationError.empty());
  EXPECT_EQ(ListTree(temp.Path()), (std::map<std::string, int64_t>{{"#", 33}}));
  EXPECT_EQ(state.fileCount, 0u);
}

TEST_F(RecoveryWriterTest, RefusedEntriesAreSkippedAndCountedAndTheSaveGoesOn) {
  test::RefusingDestination refusing(*destination);
  refusing.refusedCreations = {"bad.txt", "badfolder"};
  refusing.refusedEntries = {"closed"};
  AddFound(root, u"bad.txt", 10, 100);
  ScanNode* badFolder = AddNode(state, root, u"badfolder");
  AddFound(badFolder, u"x", 11, 100);
  AddFound(AddNode(state, badFolder, u"sub"), u"y", 12, 100);
  ScanNode* closed = AddNode(state, root, u"closed");
  AddFound(closed, u"z", 13, 100);
  AddFound(root, u"good.txt", 14, 100);

  RecordingListener listener;
  SaveSummary summary;
  EXPECT_EQ(SaveCheckedEntries(state, refusing, &summary, &listener), 1);
  EXPECT_EQ(summary.written, 2u);  // closed (made, not entered) and good.txt
  EXPECT_EQ(summary.failed, 1u + 4u + 1u);  // bad.txt; badfolder with x, sub, y; z below closed
  EXPECT_EQ(ListTree(temp.Path()),
            (std::map<std::string, int64_t>{{"#", -1}, {"#/closed", -1}, {"#/good.txt", 100}}));
  ASSERT_EQ(listener.entries.size(), 5u);
  EXPECT_EQ(listener.entries[1].outcome, SaveOutcome::NotCreated);
  EXPECT_EQ(listener.entries[1].leftOut, 3u);
  EXPECT_EQ(listener.entries[4].outcome, SaveOutcome::NotEntered);
  EXPECT_EQ(listener.entries[4].path, "#/closed");
}

TEST_F(RecoveryWriterTest, AStopEndsTheSaveAfterTheEntryBeingCopied) {
  ScanNode* folder = AddNode(state, root, u"folder");
  AddFound(folder, u"inner.txt", 10, 100);
  AddFound(root, u"one.bin", 20, 100);
  AddFound(root, u"two.bin", 30, 1024 * 1024 + 512);
  AddFound(root, u"three.bin", 40, 100);
  test::StopAtProgress stopper(state, 3);  // the stop arrives as two.bin is created
  state.progress = &stopper;
  SaveSummary summary;
  EXPECT_EQ(Save(&summary), 0);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(ListTree(temp.Path()), (std::map<std::string, int64_t>{{"#", -1},
                                                                    {"#/folder", -1},
                                                                    {"#/one.bin", 100},
                                                                    {"#/two.bin", 1024 * 1024 + 512}}));
  EXPECT_EQ(Saved("#/two.bin"), Slice(30, 1024 * 1024 + 512));
  EXPECT_EQ(state.fileCount, 3u);
}

TEST_F(RecoveryWriterTest, DeepTreesAreSavedWithoutRecursionOrRunningOutOfDescriptors) {
  // A chain of 150 folders with a file at the bottom, and beside the chain's tenth folder a
  // second folder whose file is saved after the climb back up from the bottom.
  ScanNode* folder = root;
  ScanNode* tenth = nullptr;
  std::string path = "#";
  for (int depth = 0; depth < 150; ++depth) {
    folder = AddNode(state, folder, u"d");
    path += "/d";
    if (depth == 9) tenth = folder;
  }
  AddFound(folder, u"bottom.txt", 50, 700);
  ScanNode* sibling = AddNode(state, tenth, u"sibling");
  AddFound(sibling, u"after.txt", 60, 800);
  SaveSummary summary;
  ASSERT_EQ(Save(&summary), 1);
  EXPECT_EQ(summary.written, 153u);
  EXPECT_EQ(Saved(path + "/bottom.txt"), Slice(50, 700));
  EXPECT_EQ(Saved("#/d/d/d/d/d/d/d/d/d/d/sibling/after.txt"), Slice(60, 800));
  EXPECT_EQ(destination->Depth(), 0u);  // back where the save started
}

// An output that copies from the source "inside the kernel" up to a limit, as an in-kernel copy
// that stops early (another file system, an error) would; the rest must arrive through memory.
class PartialCopyOutputFile final : public OutputFile {
 public:
  explicit PartialCopyOutputFile(uint64_t limit) : limit_(limit) {}
  int Write(std::span<const uint8_t> data) override {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return 1;
  }
  int Close() override { return 1; }
  uint64_t AppendFromSource(const SourceReader& source, uint64_t byteOffset, uint64_t length) override {
    std::vector<uint8_t> copied(static_cast<size_t>(std::min(length, limit_)));
    size_t delivered = 0;
    if (const_cast<SourceReader&>(source).ReadAt(byteOffset, copied, &delivered) != 1) return 0;
    bytes.insert(bytes.end(), copied.begin(), copied.begin() + static_cast<std::ptrdiff_t>(delivered));
    return delivered;
  }
  std::vector<uint8_t> bytes;

 private:
  uint64_t limit_;
};

TEST_F(RecoveryWriterTest, FoundFilesCopiedPartlyInTheKernelAreFinishedThroughMemory) {
  state.deviceHandle = std::make_unique<MemorySourceReader>(volume);
  ScanNode* found = AddFound(root, u"found", 100, 3 * 1024 * 1024);
  for (uint64_t limit : {uint64_t{0}, uint64_t{1500001}, uint64_t{2 * 1024 * 1024}, uint64_t{1} << 40}) {
    PartialCopyOutputFile out(limit);
    EXPECT_EQ(CopyRawData(state, *found, out), 1);
    EXPECT_EQ(out.bytes, Slice(100, 3 * 1024 * 1024)) << "copy stopped after " << limit << " bytes";
  }
}

TEST_F(RecoveryWriterTest, FoundFilesAreCopiedInMebibyteReadsAndUnreadablePartsBecomeZeros) {
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(volume));
  FaultInjectingReader* faults = reader.get();
  state.deviceHandle = std::move(reader);

  ScanNode* exact = AddFound(root, u"exact", 100, 3 * 1024 * 1024);
  test::MemoryOutputFile out;
  EXPECT_EQ(CopyRawData(state, *exact, out), 1);
  EXPECT_EQ(out.bytes, Slice(100, 3 * 1024 * 1024));
  EXPECT_EQ(faults->ReadCount(), 3u);

  ScanNode* document = AddFound(root, u"doc", 200, 197120);
  test::MemoryOutputFile small;
  EXPECT_EQ(CopyRawData(state, *document, small), 1);
  EXPECT_EQ(small.bytes, Slice(200, 197120));
  EXPECT_EQ(faults->ReadCount(), 4u);

  // The second MiB cannot be read: it is written as zeros and the third keeps its place.
  faults->FailSector(100 + 2048 + 5);
  test::MemoryOutputFile damaged;
  EXPECT_EQ(CopyRawData(state, *exact, damaged), 0);
  std::vector<uint8_t> expected = Slice(100, 3 * 1024 * 1024);
  std::fill(expected.begin() + 1024 * 1024, expected.begin() + 2 * 1024 * 1024, 0);
  EXPECT_EQ(damaged.bytes, expected);

  // A size that reaches past the source (a damaged scan file) is cut at its end.
  ScanNode* tail = AddFound(root, u"tail", kVolumeSectors - 2, 1u << 30);
  test::MemoryOutputFile cut;
  EXPECT_EQ(CopyRawData(state, *tail, cut), 0);
  EXPECT_EQ(cut.bytes, Slice(kVolumeSectors - 2, 1024));

  // A failed write ends the copy.
  test::MemoryOutputFile full;
  full.FailAfterBytes(1024 * 1024 + 10);
  EXPECT_EQ(CopyRawData(state, *exact, full), 0);
  EXPECT_EQ(full.bytes.size(), 1024u * 1024u);
}

}  // namespace
}  // namespace restora
