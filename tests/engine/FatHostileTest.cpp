// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged and hostile FAT volumes: folder chains that loop, folders that contain themselves or
// an ancestor, clusters shared by many folder entries, garbage entries, nonsense boot values and
// a folder tree 100,000 levels deep. Each must finish quickly with a sane tree.
#include <gtest/gtest.h>

#include <random>

#include "FatDirEntry.h"
#include "FatScan.h"
#include "FatScanTestSupport.h"
#include "ScanTree.h"

namespace restora {
namespace {

using test::FatEntry;
using test::FatImageBuilder;

FatEntry Entry(const char* shortName, uint8_t attributes, uint32_t firstCluster, bool deleted) {
  FatEntry entry;
  entry.shortName = shortName;
  entry.attributes = attributes;
  entry.firstCluster = firstCluster;
  entry.size = firstCluster != 0 && (attributes & test::kFatAttrFolder) == 0 ? 77 : 0;
  entry.deleted = deleted;
  return entry;
}

FatEntry DeletedFile(const char* shortName, uint32_t firstCluster) {
  return Entry(shortName, 0x20, firstCluster, true);
}

// Every node of the tree as the walk makes it: named, within the cluster range, its folder bit
// in step with its attribute, and no child of a file.
void ExpectSaneTree(const EngineState& state) {
  const VolumeInfo& info = state.volumeInfo;
  std::vector<const ScanNode*> lists{state.scanRoot->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      ASSERT_FALSE(node->name.empty());
      ASSERT_LE(node->name.size(), kLongNameCapacity);
      ASSERT_EQ(node->nameLength, node->name.size());
      ASSERT_GT(node->firstCluster, info.fatKind);
      ASSERT_LE(node->firstCluster, info.fatEntryCount);
      ASSERT_LE(node->status, 3u);
      ASSERT_EQ(node->IsFolderStatus(), (node->attributes & 0x10) != 0);
      if (!node->IsFolderStatus()) {
        ASSERT_EQ(node->firstChild, nullptr);
      }
      if (node->firstChild != nullptr) lists.push_back(node->firstChild);
    }
  }
}

TEST(FatHostile, FolderChainThatLoopsIsReadOnce) {
  FatImageBuilder v = FatImageBuilder::Fat16(8192);
  const uint32_t sub = v.AddFolder(v.RootFolder(), Entry("SUB", 0x10, 0, false));
  v.FillTo(sub, 15);
  v.AddEntry(sub, DeletedFile("AA.TXT", 300));
  v.FillTo(sub, 31);
  const test::FatSlot last = v.AddEntry(sub, DeletedFile("BB.TXT", 301));  // both clusters full
  const uint32_t second = v.Fat(sub);
  ASSERT_EQ(last.index, 31u);
  v.SetFat(second, sub);  // the folder's second cluster leads back to its first
  auto scanned = test::ScanVolume(v.Take());
  EXPECT_EQ(scanned->result, 1);
  EXPECT_EQ(test::ListTree(scanned->Root()),
            (std::vector<std::string>{"folder 0 SUB", "deleted-file 77 SUB/XA.TXT", "deleted-file 77 SUB/XB.TXT"}));
}

TEST(FatHostile, FoldersLeadingBackToThemselvesOrAnAncestorAreNotReadAgain) {
  FatImageBuilder v = FatImageBuilder::Fat32(8192);
  const uint32_t sub = v.AddFolder(2, Entry("SUB", 0x10, 0, false));
  v.AddEntry(sub, Entry("SELF", 0x10, sub, false));  // the folder inside itself
  v.AddEntry(sub, DeletedFile("AA.TXT", 300));
  const uint32_t inner = v.AddFolder(sub, Entry("INNER", 0x10, 0, false));
  v.AddEntry(inner, Entry("UP", 0x10, sub, true));  // a deleted folder whose cluster is now its grandparent
  v.AddEntry(inner, DeletedFile("BB.TXT", 301));
  // A damaged folder whose "." is not followed by "..": "." is read as a folder named "."
  const uint32_t damaged = v.AddFolder(2, Entry("DAMAGED", 0x10, 0, false));
  v.SlotBytes({damaged, 1})[0] = 0xE5;
  v.SlotBytes({damaged, 1})[1] = 'Q';
  v.AddEntry(damaged, DeletedFile("CC.TXT", 302));
  // A deleted folder pointing at the root cluster, and one pointing at the root's second cluster
  // from within that cluster.
  v.AddEntry(2, Entry("ROOTY", 0x10, 2, true));
  v.FillTo(2, 17);  // the root now has a second cluster
  v.AddEntry(2, Entry("BACK", 0x10, v.Fat(2), true));
  v.AddEntry(2, DeletedFile("ZZ.TXT", 303));
  auto scanned = test::ScanVolume(v.Take());
  EXPECT_EQ(scanned->result, 1);
  EXPECT_EQ(test::ListTree(scanned->Root()), (std::vector<std::string>{
                                                 "folder 0 SUB",
                                                 "deleted-file 77 SUB/XA.TXT",
                                                 "folder 0 SUB/INNER",
                                                 "deleted-file 77 SUB/INNER/XB.TXT",
                                                 "folder 0 DAMAGED",
                                                 "deleted-file 77 DAMAGED/XC.TXT",
                                                 "deleted-folder 0 XACK",
                                                 "deleted-file 77 XACK/XZ.TXT",
                                                 "deleted-file 77 XZ.TXT",
                                             }));
  ExpectSaneTree(*scanned->state);
}

TEST(FatHostile, ClustersSharedByManyFolderEntriesDoNotMultiplyTheTree) {
  // Two folders per level, each holding deleted folder entries for both folders of the next
  // level: 2^depth paths lead to the bottom.
  constexpr int kDepth = 24;
  FatImageBuilder v = FatImageBuilder::Fat16(8192);
  const uint32_t store = v.AddFolder(v.RootFolder(), Entry("STORE", 0x10, 0, false));
  std::vector<std::array<uint32_t, 2>> levels;
  for (int level = 0; level < kDepth; ++level) {
    const std::string left = "L" + std::to_string(level), right = "R" + std::to_string(level);
    levels.push_back({v.AddFolder(store, Entry(left.c_str(), 0x10, 0, false)),
                      v.AddFolder(store, Entry(right.c_str(), 0x10, 0, false))});
  }
  for (int level = 0; level + 1 < kDepth; ++level) {
    for (const uint32_t folder : levels[level]) {
      v.AddEntry(folder, Entry("DOWNL", 0x10, levels[level + 1][0], true));
      v.AddEntry(folder, Entry("DOWNR", 0x10, levels[level + 1][1], true));
    }
  }
  v.AddEntry(levels.back()[0], DeletedFile("BOTTOM.TXT", 900));
  struct Collect : ProgressSink {
    void Diagnostic(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
  } sink;
  auto scanned = test::ScanVolume(v.Take(), &sink);
  EXPECT_EQ(scanned->result, 1);
  const uint64_t nodes = CountNodes(scanned->Root());
  EXPECT_GT(nodes, 2u * kDepth);
  EXPECT_LT(nodes, uint64_t{kMaxWalksPerFolder} * 2 * kDepth * 3);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_NE(sink.lines[0].find("shared by too many folder entries"), std::string::npos);
  ExpectSaneTree(*scanned->state);
}

// Entries that look almost right: deletion marks, long-name runs, odd attributes and case
// flags, clusters inside and outside the volume, folders pointing anywhere.
std::array<uint8_t, 32> GarbageEntry(std::mt19937& random, uint32_t highestCluster) {
  std::array<uint8_t, 32> entry{};
  for (uint8_t& byte : entry) byte = static_cast<uint8_t>(random());
  static constexpr uint8_t kFirst[] = {0xE5, 'A', 'Z', 0x05, 0x85, ' ', '.', 0x41};
  static constexpr uint8_t kAttributes[] = {0x0F, 0x0F, 0x10, 0x20, 0x08, 0x00, 0x16, 0x30, 0x18, 0x31, 0x3F};
  static constexpr uint8_t kCase[] = {0, 0, 0x08, 0x10, 0x18, 0x04};
  entry[0] = kFirst[random() % std::size(kFirst)];
  entry[0x0B] = kAttributes[random() % std::size(kAttributes)];
  entry[0x0C] = kCase[random() % std::size(kCase)];
  const uint32_t cluster = random() % 4 == 0 ? static_cast<uint32_t>(random()) : random() % (highestCluster + 8);
  entry[0x14] = static_cast<uint8_t>(cluster >> 16), entry[0x15] = static_cast<uint8_t>(cluster >> 24);
  entry[0x1A] = static_cast<uint8_t>(cluster), entry[0x1B] = static_cast<uint8_t>(cluster >> 8);
  return entry;
}

TEST(FatHostile, GarbageEntriesGiveASaneTree) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    std::mt19937 random(seed);
    FatImageBuilder v = seed % 2 == 0 ? FatImageBuilder::Fat16(1200, 1) : FatImageBuilder::Fat32(1200, 1);
    const uint32_t gone = v.AddFolder(v.RootFolder(), Entry("GONE", 0x10, 0, true));
    const uint32_t live = v.AddFolder(v.RootFolder(), Entry("LIVE", 0x10, 0, false));
    for (int i = 0; i < 60; ++i) {
      v.AddRawEntry(gone, GarbageEntry(random, v.HighestCluster()));
      v.AddRawEntry(live, GarbageEntry(random, v.HighestCluster()));
    }
    // Random FAT values, loops and all, and clusters full of entries for the folders to reach.
    for (uint32_t cluster = 2; cluster <= v.HighestCluster(); ++cluster) {
      if (cluster != gone && cluster != live && random() % 3 == 0) {
        v.SetFat(cluster, random() % 2 == 0 ? random() % (v.HighestCluster() + 4) : static_cast<uint32_t>(random()));
      }
      if (cluster > live + 4 && random() % 4 == 0) {
        for (uint32_t slot = 0; slot < v.EntriesPerCluster(); ++slot) {
          v.WriteBytes(v.ClusterOffset(cluster) + slot * 32, GarbageEntry(random, v.HighestCluster()));
        }
      }
    }
    auto scanned = test::ScanVolume(v.Take());
    ASSERT_EQ(scanned->result, 1) << seed;
    ExpectSaneTree(*scanned->state);
  }
}

TEST(FatHostile, NonsenseBootValuesEndQuietly) {
  FatImageBuilder base = FatImageBuilder::Fat32(4096);
  base.AddFile(2, DeletedFile("A.TXT", 0), FatImageBuilder::Pattern(100, 1));
  const std::vector<uint8_t> image = base.Take();
  {
    std::vector<uint8_t> noClusters = image;
    noClusters[0x0D] = 0;  // sectors per cluster: no volume, refused on opening
    EXPECT_EQ(test::ScanVolume(noClusters)->opened, 0);
  }
  {
    std::vector<uint8_t> hugeFat = image;
    hugeFat[0x24] = hugeFat[0x25] = hugeFat[0x26] = hugeFat[0x27] = 0xFF;  // the FATs reach past the volume
    EXPECT_EQ(test::ScanVolume(hugeFat)->opened, 0);
  }
  {
    std::vector<uint8_t> truncated(image.begin(), image.begin() + 512 * 40);  // cut inside the FAT
    auto scanned = test::ScanVolume(truncated);
    ASSERT_EQ(scanned->opened, 1);
    EXPECT_EQ(scanned->result, 1);
  }
}

TEST(FatHostile, FolderTreeOfAHundredThousandLevels) {
  constexpr uint32_t kDepth = 100000;
  FatImageBuilder v(test::FatLayout{test::FatWidth::Fat32, kDepth + 2400, 1, 0, 0});
  uint32_t folder = 2;
  for (uint32_t level = 0; level < kDepth; ++level) folder = v.AddFolder(folder, Entry("D", 0x10, 0, false));
  v.AddEntry(folder, DeletedFile("END.TXT", 5));
  auto scanned = test::ScanVolume(v.Take());
  ASSERT_EQ(scanned->result, 1);
  uint32_t depth = 0;
  const ScanNode* node = scanned->Root();
  while (node->firstChild != nullptr) {
    node = node->firstChild;
    ++depth;
  }
  EXPECT_EQ(depth, kDepth + 1);
  EXPECT_EQ(node->name, u"XND.TXT");
  EXPECT_EQ(node->id, kDepth + 1);  // numbered, one per level
  EXPECT_EQ(CleanUp(*scanned->state), 1);
  EXPECT_EQ(scanned->state->pool.LiveCount(), 0u);
}

}  // namespace
}  // namespace restora
