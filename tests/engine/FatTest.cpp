// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT walk over volumes built byte by byte: what the tree lists (deleted entries under the
// folders leading to them, long names across cluster ends, duplicated clusters), and hostile
// volumes (folder chains and entries that loop, clusters shared by many folder entries, a tree
// 100,000 levels deep, scanned and through the scan file); and
// 8.3 names as written (case flags).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "FatDirEntry.h"
#include "FatImageBuilder.h"
#include "FatScan.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::FatEntry;
using test::FatImageBuilder;

FatEntry Entry(const char* shortName, std::u16string longName = {}, bool deleted = true, bool folder = false,
               uint32_t firstCluster = 0) {
  FatEntry entry;
  entry.shortName = shortName;
  entry.longName = std::move(longName);
  entry.deleted = deleted;
  entry.firstCluster = firstCluster;
  if (folder) entry.attributes = test::kFatAttrFolder;
  if (firstCluster != 0 && !folder) entry.size = 77;
  return entry;
}

std::vector<uint8_t> Data(size_t size, uint32_t seed = 1) { return FatImageBuilder::Pattern(size, seed); }

struct Case {
  const char* name;
  std::function<void(FatImageBuilder&)> build;
  std::vector<std::string> lines;
};

class FatListing : public ::testing::TestWithParam<std::tuple<test::FatWidth, Case>> {};

TEST_P(FatListing, ListsWhatTheVolumeHolds) {
  const auto& [width, c] = GetParam();
  FatImageBuilder v(test::FatLayout{width, 16384, 1});
  c.build(v);
  auto scanned = test::ScanVolume(v.Take());
  ASSERT_EQ(scanned->result, 1);
  EXPECT_EQ(test::TreeFault(scanned->state), "");
  EXPECT_EQ(scanned->Lines(), c.lines);
}

const Case kCases[] = {
    {"DeletedEntriesUnderTheFoldersLeadingToThem",
     [](FatImageBuilder& v) {
       const uint32_t root = v.RootFolder();
       FatEntry label = Entry("VOLUME LABEL", {}, false);
       label.attributes = test::kFatAttrLabel;
       v.AddEntry(root, label);
       v.AddFile(root, Entry("LIVE.TXT", {}, false), Data(3000));
       v.AddFile(root, Entry("OLDREP~1.TXT", u"old report.txt"), Data(5000));
       v.AddFile(root, Entry("ZERO.TXT"), {});  // an empty file has no cluster and is not listed
       const uint32_t docs = v.AddFolder(root, Entry("DOCS", u"Documents", false, true));
       v.AddFile(docs, Entry("DRAFT~1.TXT", u"draft \u00fc\u2603.txt"), Data(1500));
       const uint32_t quiet = v.AddFolder(docs, Entry("QUIET", {}, false, true));  // only live files
       v.AddFile(quiet, Entry("A.TXT", {}, false), Data(5));
       const uint32_t trash = v.AddFolder(root, Entry("TRASH", {}, true, true));
       v.AddFile(trash, Entry("INSIDE.TXT", {}, false), Data(64));  // live-marked, in a deleted folder
       const uint32_t sub = v.AddFolder(trash, Entry("SUB", {}, false, true));
       v.AddFile(sub, Entry("DEEP.TXT", {}, false), Data(3));
     },
     {"deleted-file 5000 old report.txt", "folder 0 Documents", "deleted-file 1500 Documents/draft \u00fc\u2603.txt",
      "deleted-folder 0 XRASH", "file 64 XRASH/INSIDE.TXT", "folder 0 XRASH/SUB", "file 3 XRASH/SUB/DEEP.TXT"}},
    {"LongNamesAcrossTheClustersOfAFragmentedFolder",
     [](FatImageBuilder& v) {
       const uint32_t folder = v.AddFolder(v.RootFolder(), Entry("BIG", u"big", false, true));
       v.AddFile(v.RootFolder(), Entry("SPACER.BIN", {}, false), Data(3 * 512));  // the next cluster lies apart
       // 16 entries per cluster, 3 per file: file 4's short entry opens the second cluster, file
       // 15's long-name run is cut between the third and the fourth.
       for (int i = 0; i < 24; ++i) {
         const std::string shortName = "FILE~" + std::to_string(i) + ".DAT";
         v.AddFile(folder, Entry(shortName.c_str(), u"file number " + Utf8ToUtf16(std::to_string(i)) + u" of many",
                                 i == 4 || i == 15 || i == 20), Data(100 + i, i));
       }
     },
     {"folder 0 big", "deleted-file 104 big/file number 4 of many", "deleted-file 115 big/file number 15 of many",
      "deleted-file 120 big/file number 20 of many"}},
    {"OnlyTheFirstEntryOfADuplicatedClusterInAFolder",
     [](FatImageBuilder& v) {
       const uint32_t cluster = v.AddFile(v.RootFolder(), Entry("FIRST.TXT"), Data(40));
       v.AddEntry(v.RootFolder(), Entry("SECOND.TXT", {}, true, false, cluster));
       const uint32_t other = v.AddFolder(v.RootFolder(), Entry("OTHER", {}, false, true));
       v.AddEntry(other, Entry("THIRD.TXT", {}, true, false, cluster));  // another folder lists it again
     },
     {"deleted-file 40 XIRST.TXT", "folder 0 OTHER", "deleted-file 77 OTHER/XHIRD.TXT"}},
    {"AFolderChainThatLoopsIsReadOnce",
     [](FatImageBuilder& v) {
       const uint32_t sub = v.AddFolder(v.RootFolder(), Entry("SUB", {}, false, true));
       v.FillTo(sub, 15);
       v.AddEntry(sub, Entry("AA.TXT", {}, true, false, 300));
       v.FillTo(sub, 31);
       v.AddEntry(sub, Entry("BB.TXT", {}, true, false, 301));
       v.SetFat(v.Fat(sub), sub);  // the second cluster leads back to the first
     },
     {"folder 0 SUB", "deleted-file 77 SUB/XA.TXT", "deleted-file 77 SUB/XB.TXT"}},
    {"FoldersLeadingBackToThemselvesOrAnAncestorAreNotReadAgain",
     [](FatImageBuilder& v) {
       const uint32_t sub = v.AddFolder(v.RootFolder(), Entry("SUB", {}, false, true));
       v.AddEntry(sub, Entry("SELF", {}, false, true, sub));
       v.AddEntry(sub, Entry("AA.TXT", {}, true, false, 300));
       const uint32_t inner = v.AddFolder(sub, Entry("INNER", {}, false, true));
       v.AddEntry(inner, Entry("UP", {}, true, true, sub));  // a deleted folder whose cluster is its grandparent
       v.AddEntry(inner, Entry("BB.TXT", {}, true, false, 301));
       // A deleted folder at the root's own cluster, and one at the root's second cluster.
       v.AddEntry(v.RootFolder(), Entry("ROOTY", {}, true, true, v.RootFolder() == 1 ? 0 : 2));
       v.FillTo(v.RootFolder(), 17);
       if (v.RootFolder() == 2) v.AddEntry(2, Entry("BACK", {}, true, true, v.Fat(2)));
     },
     {"folder 0 SUB", "deleted-file 77 SUB/XA.TXT", "folder 0 SUB/INNER", "deleted-file 77 SUB/INNER/XB.TXT"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, FatListing,
                         ::testing::Combine(::testing::Values(test::FatWidth::Fat16, test::FatWidth::Fat32),
                                            ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == test::FatWidth::Fat16 ? "Fat16_" : "Fat32_") +
                                  std::get<1>(info.param).name;
                         });

TEST(FatData, ChainsAreFollowedWhereTheyFitTheSizeElseTheClustersFromTheFirstOn) {
  FatImageBuilder v = FatImageBuilder::Fat32(8192);
  const uint32_t trash = v.AddFolder(v.RootFolder(), Entry("TRASH", {}, true, true));
  const std::vector<uint8_t> fragmented = Data(1300, 1), consecutive = Data(1100, 2), loop = Data(1500, 3);
  v.AddFile(trash, Entry("FRAG.BIN", {}, false), fragmented, {300, 200, 400});  // live: its chain is intact
  v.AddFile(trash, Entry("GONE.BIN"), consecutive, {500, 501, 502});              // deleted: its chain is cleared
  v.AddFile(trash, Entry("LOOP.BIN", {}, false), loop, {600, 601, 602});
  v.SetFat(601, 600);  // a chain that loops does not fit the size
  auto scanned = test::ScanVolume(v.Take());
  ASSERT_EQ(scanned->result, 1);
  SetChecked(scanned->state.scanRoot->firstChild, 1);
  test::TempFolder temp;
  auto destination = PosixDestination::Open(temp.Path(), nullptr);
  ASSERT_EQ(SaveCheckedEntries(scanned->state, *destination), 1);
  EXPECT_EQ(test::ReadWholeFile(temp.Path() + "/#/XRASH/FRAG.BIN"), fragmented);
  EXPECT_EQ(test::ReadWholeFile(temp.Path() + "/#/XRASH/XONE.BIN"), consecutive);
  EXPECT_EQ(test::ReadWholeFile(temp.Path() + "/#/XRASH/LOOP.BIN"), loop);
}

TEST(FatHostile, ClustersSharedByManyFolderEntriesDoNotMultiplyTheTree) {
  // Two folders per level, each holding deleted entries for both folders of the next level:
  // 2^24 paths lead to the bottom.
  constexpr int kDepth = 24;
  FatImageBuilder v = FatImageBuilder::Fat16(8192);
  const uint32_t store = v.AddFolder(v.RootFolder(), Entry("STORE", {}, false, true));
  std::vector<std::array<uint32_t, 2>> levels;
  for (int level = 0; level < kDepth; ++level) {
    levels.push_back({v.AddFolder(store, Entry(("L" + std::to_string(level)).c_str(), {}, false, true)),
                      v.AddFolder(store, Entry(("R" + std::to_string(level)).c_str(), {}, false, true))});
  }
  for (int level = 0; level + 1 < kDepth; ++level) {
    for (const uint32_t folder : levels[level]) {
      v.AddEntry(folder, Entry("DOWNL", {}, true, true, levels[level + 1][0]));
      v.AddEntry(folder, Entry("DOWNR", {}, true, true, levels[level + 1][1]));
    }
  }
  v.AddEntry(levels.back()[0], Entry("BOTTOM.TXT", {}, true, false, 900));
  test::RecordingSink sink;
  auto scanned = test::ScanVolume(v.Take(), &sink);
  EXPECT_EQ(scanned->result, 1);
  EXPECT_LT(CountNodes(scanned->state.scanRoot), uint64_t{kMaxWalksPerFolder} * 2 * kDepth * 3);
  ASSERT_EQ(sink.diagnostics.size(), 1u);
  EXPECT_NE(sink.diagnostics[0].find("shared by too many folder entries"), std::string::npos);
  EXPECT_EQ(test::TreeFault(scanned->state), "");
}

TEST(FatHostile, AFolderTreeOfAHundredThousandLevelsAndItsScanFile) {
  constexpr uint32_t kDepth = 100000;
  FatImageBuilder v(test::FatLayout{test::FatWidth::Fat32, kDepth + 2400, 1});
  uint32_t folder = 2;
  for (uint32_t level = 0; level < kDepth; ++level) folder = v.AddFolder(folder, Entry("D", {}, false, true));
  v.AddEntry(folder, Entry("END.TXT", {}, true, false, 5));
  auto scanned = test::ScanVolume(v.Take());
  ASSERT_EQ(scanned->result, 1);
  const ScanNode* node = scanned->state.scanRoot;
  uint32_t depth = 0;
  for (; node->firstChild != nullptr; ++depth) node = node->firstChild;
  EXPECT_EQ(depth, kDepth + 1);
  EXPECT_EQ(node->id, kDepth + 1);  // numbered, one per level
  std::stringstream file;  // the scan file writes and reads the tree back without recursion
  ASSERT_EQ(WriteScanInfoTo(scanned->state, file), 1);
  EngineState read;
  ASSERT_EQ(ReadScanInfoFrom(read, file), 1);
  EXPECT_EQ(CountNodes(read.scanRoot), kDepth + 1);
  EXPECT_EQ(test::TreeFault(read), "");
  CleanUp(read);
  EXPECT_EQ(CleanUp(scanned->state), 1);
  EXPECT_EQ(scanned->state.pool.LiveCount(), 0u);
}

TEST(FatNames, CaseFlagsGiveLowerCaseNamesAndExtensions) {
  struct Case {
    const char* name11;
    uint8_t caseFlags;
    const char* shown;
  };
  const Case cases[] = {
      {"NOTES   TXT", 0x18, "notes.txt"},  {"\xE5OTES   TXT", 0x18, "xotes.txt"},
      {"\xE5OTES   TXT", 0x10, "XOTES.txt"}, {"README  MD ", 0x08, "readme.MD"},
      {"MAKEFILE   ", 0x18, "makefile"},    {"\x82T      DAT", 0x08, "\xC3\xA9t.DAT"},
  };
  for (const Case& c : cases) {
    std::array<uint8_t, 32> entry{};
    std::memcpy(entry.data(), c.name11, 11);
    entry[0x0B] = 0x20, entry[0x0C] = c.caseFlags;
    EXPECT_EQ(Utf16ToUtf8(ShortEntryName(entry)), c.shown) << c.name11;
  }
}

}  // namespace
}  // namespace restora
