// SPDX-License-Identifier: GPL-3.0-or-later
// Directory entries and the parse of one folder buffer: names, the validity test, where a
// folder ends, long names cut by a buffer's end, and which entries the filters keep.
#include <gtest/gtest.h>

#include <cstring>

#include "FatDirEntry.h"
#include "FatImageBuilder.h"
#include "ScanTree.h"
#include "TextCodec.h"

namespace restora {
namespace {

using test::FatEntry;
using test::FatImageBuilder;

std::array<uint8_t, 32> Raw(const char* name11, uint8_t attributes = 0x20, uint8_t caseFlags = 0) {
  std::array<uint8_t, 32> entry{};
  std::memcpy(entry.data(), name11, 11);
  entry[0x0B] = attributes;
  entry[0x0C] = caseFlags;
  return entry;
}

std::string ShortName(const char* name11) { return Utf16ToUtf8(ShortEntryName(Raw(name11))); }

TEST(FatDirEntry, ShortNamesFromTheStoredBytes) {
  EXPECT_EQ(ShortName("FILE    TXT"), "FILE.TXT");
  EXPECT_EQ(ShortName("README     "), "README");
  EXPECT_EQ(ShortName("A B     C  "), "A B.C");
  EXPECT_EQ(ShortName("\xE5ILE    TXT"), "XILE.TXT");          // the deletion mark
  EXPECT_EQ(ShortName("\x05" "BC     TXT"), "\xCF\x83" "BC.TXT");  // 0x05 stands for 0xE5: σ
  EXPECT_EQ(ShortName("\x82T      DAT"), "\xC3\xA9T.DAT");         // code page 437: é
  EXPECT_EQ(ShortName("           "), " ");                       // the first byte always stays
}

// Feeds long-name entries holding the given parts, in the order they stand on disk (the
// name's last part first), to PrependLongNamePart.
std::u16string Assemble(const std::vector<std::u16string>& partsOnDisk) {
  static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::u16string name;
  for (const std::u16string& text : partsOnDisk) {
    std::array<uint8_t, 32> entry{};
    entry[0x0B] = 0x0F;
    for (size_t i = 0; i < 13; ++i) {
      const char16_t unit = i < text.size() ? text[i] : (i == text.size() ? 0 : 0xFFFF);
      entry[kOffsets[i]] = static_cast<uint8_t>(unit);
      entry[kOffsets[i] + 1] = static_cast<uint8_t>(unit >> 8);
    }
    PrependLongNamePart(name, entry);
  }
  return name;
}

TEST(FatDirEntry, LongNamePartsAreJoinedLastPartFirst) {
  EXPECT_EQ(Assemble({u"abcdefghijklm"}), u"abcdefghijklm");  // exactly 13: no terminator
  EXPECT_EQ(Assemble({u"xt", u"abcdefghijklm"}), u"abcdefghijklmxt");
  EXPECT_EQ(Assemble({u"\u2603.txt", u"Unicode name "}), u"Unicode name \u2603.txt");  // the space stays
  EXPECT_EQ(Assemble({u"", u"abc"}), u"abc");
  // Thirty parts of 13 units: the name keeps its first 256 units.
  std::vector<std::u16string> partsOnDisk;
  std::u16string whole;
  for (int part = 0; part < 30; ++part) {
    const std::u16string text(13, static_cast<char16_t>(u'A' + part % 26));
    whole += text;
    partsOnDisk.insert(partsOnDisk.begin(), text);
  }
  const std::u16string assembled = Assemble(partsOnDisk);
  EXPECT_EQ(assembled.size(), kLongNameCapacity);
  EXPECT_EQ(assembled, whole.substr(0, kLongNameCapacity));
}

TEST(FatDirEntry, ValidShortEntries) {
  EXPECT_TRUE(IsValidShortEntry(Raw("FILE    TXT", 0x20)));
  EXPECT_TRUE(IsValidShortEntry(Raw("FILE    TXT", 0x30, 0x18)));
  EXPECT_TRUE(IsValidShortEntry(Raw("FILE    TXT", 0x01, 0x08)));
  EXPECT_FALSE(IsValidShortEntry(Raw("FILE    T\x01T", 0x00)));  // attribute 0 with a byte no name holds
  EXPECT_FALSE(IsValidShortEntry(Raw("FILE    TXT", 0x31)));
  EXPECT_FALSE(IsValidShortEntry(Raw("FILE    TXT", 0x18)));
  EXPECT_FALSE(IsValidShortEntry(Raw("FILE    TXT", 0x20, 0x04)));
}

// A FAT32 volume whose folders the parse tests read one cluster at a time.
class FatFolderParse : public ::testing::Test {
 protected:
  FatFolderParse() : builder_(FatImageBuilder::Fat32(8192)) {
    state_.volumeInfo.kind = SourceKind::Fat32;
    state_.volumeInfo.fatKind = 2;
    state_.volumeInfo.fatEntryCount = builder_.FatEntryCount();
    folder_ = NewNode(state_);
    folder_->status = kStatusLiveFolder;
  }

  // Parses the clusters of the builder's folder in order with one FolderParse; returns the
  // results of the parse calls.
  std::vector<int> Parse(uint32_t folder, uint32_t clusters, bool keepAll = false) {
    FolderParse parse(folder_, keepAll);
    std::vector<int> results;
    for (uint32_t i = 0; i < clusters; ++i) {
      const uint64_t offset = builder_.ClusterOffset(folder) + uint64_t{i} * builder_.ClusterBytes();
      const Bytes cluster = Bytes(builder_.Image()).subspan(offset, builder_.ClusterBytes());
      results.push_back(ParseFolderBuffer(state_, cluster, parse));
    }
    return results;
  }

  // "name status cluster" of every pending node, in order.
  std::vector<std::string> Pending() const {
    std::vector<std::string> lines;
    for (const ScanNode* node = state_.pendingFirst; node != nullptr; node = node->next) {
      lines.push_back(Utf16ToUtf8(node->name) + " " + std::to_string(node->status) + " " +
                      std::to_string(node->firstCluster));
    }
    return lines;
  }

  static FatEntry Live(const char* shortName, uint32_t cluster, uint8_t attributes = 0x20) {
    FatEntry entry;
    entry.shortName = shortName;
    entry.firstCluster = cluster;
    entry.attributes = attributes;
    return entry;
  }

  static FatEntry Deleted(const char* shortName, uint32_t cluster, std::u16string longName = {}) {
    FatEntry entry;
    entry.shortName = shortName;
    entry.longName = std::move(longName);
    entry.firstCluster = cluster;
    entry.size = 100;
    entry.deleted = true;
    return entry;
  }

  FatImageBuilder builder_;
  EngineState state_;
  ScanNode* folder_ = nullptr;
};

TEST_F(FatFolderParse, SkipsDotEntriesAndEndsAtTheFirstFreeEntry) {
  const uint32_t folder = builder_.AddFolder(builder_.RootFolder(), Live("SUB", 0, 0x10));
  builder_.AddEntry(folder, Deleted("GONE.TXT", 100, u"gone file.txt"));
  builder_.AddEntry(folder, Deleted("SHORT.TXT", 101));
  EXPECT_EQ(Parse(folder, 1), std::vector<int>{1});
  EXPECT_EQ(Pending(), (std::vector<std::string>{"gone file.txt 0 100", "XHORT.TXT 0 101"}));
}

TEST_F(FatFolderParse, FolderEndsAtImpossibleAttributes) {
  for (const uint8_t attributes : {uint8_t{0x31}, uint8_t{0x18}, uint8_t{0x40}}) {
    FatImageBuilder builder = FatImageBuilder::Fat32(8192);
    builder_ = builder;
    state_.pendingFirst = state_.pendingLast = nullptr;
    builder_.AddEntry(2, Deleted("BEFORE.TXT", 100));
    std::array<uint8_t, 32> odd = Raw("\xE5" "DD     TXT", attributes);
    odd[0x1A] = 101;
    builder_.AddRawEntry(2, odd);
    builder_.AddEntry(2, Deleted("AFTER.TXT", 102));
    EXPECT_EQ(Parse(2, 1), std::vector<int>{1});
    EXPECT_EQ(Pending(), std::vector<std::string>{"XEFORE.TXT 0 100"}) << int{attributes};
  }
}

TEST_F(FatFolderParse, VolumeLabelIsSkippedOnlyAsTheFirstEntry) {
  FatEntry label = Live("MY LABEL", 90, 0x08);
  builder_.AddEntry(2, label);
  builder_.AddEntry(2, Deleted("FILE.TXT", 100));
  label.shortName = "LATE LABEL";
  label.firstCluster = 91;
  builder_.AddEntry(2, label);
  // In a deleted folder every valid entry is kept, so only the skip keeps the first label out.
  EXPECT_EQ(Parse(2, 1, true), std::vector<int>{1});
  EXPECT_EQ(Pending(), (std::vector<std::string>{"XILE.TXT 0 100", "LATE LAB.EL 1 91"}));
}

TEST_F(FatFolderParse, FullBufferWithoutEndAsksForTheNextCluster) {
  builder_.FillTo(2, 16);  // one 512-byte cluster of deleted entries without clusters
  builder_.AddEntry(2, Deleted("NEXT.TXT", 100));
  EXPECT_EQ(Parse(2, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(Pending(), std::vector<std::string>{"XEXT.TXT 0 100"});
}

TEST_F(FatFolderParse, LongNameCutByTheClusterEndIsJoinedWithTheNextCluster) {
  // 40 characters take 4 long-name entries: three at the end of the first cluster.
  const std::u16string longName = u"a name long enough for four entries.text";
  builder_.FillTo(2, 13);
  const test::FatSlot slot = builder_.AddEntry(2, Deleted("ANAMEL~1.TEX", 100, longName));
  ASSERT_EQ(slot.index, 17u);
  EXPECT_EQ(Parse(2, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(Pending(), std::vector<std::string>{Utf16ToUtf8(longName) + " 0 100"});
}

TEST_F(FatFolderParse, ShortEntryInTheNextClusterTakesTheCarriedName) {
  builder_.FillTo(2, 14);
  const test::FatSlot slot = builder_.AddEntry(2, Deleted("TWOPAR~1.TXT", 100, u"two parts of a name.txt"));
  ASSERT_EQ(slot.index, 16u);  // the first entry of the second cluster
  EXPECT_EQ(Parse(2, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(Pending(), std::vector<std::string>{"two parts of a name.txt 0 100"});
}

TEST_F(FatFolderParse, InvalidShortEntryDropsTheLongName) {
  const test::FatSlot bad = builder_.AddEntry(2, Deleted("BAD.TXT", 100, u"bad short entry"));
  builder_.SlotBytes(bad)[0x0C] = 0x04;  // case flags no valid entry has
  builder_.AddEntry(2, Deleted("PLAIN.TXT", 101));
  // Across a cluster boundary the carried name is dropped the same way.
  builder_.FillTo(2, 14);
  const test::FatSlot split = builder_.AddEntry(2, Deleted("SPLIT.TXT", 102, u"split before short"));
  ASSERT_EQ(split.index, 16u);
  builder_.SlotBytes(split)[0x0C] = 0x04;
  builder_.AddEntry(2, Deleted("AFTER.TXT", 103));
  EXPECT_EQ(Parse(2, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(Pending(), (std::vector<std::string>{"XLAIN.TXT 0 101", "XFTER.TXT 0 103"}));
}

TEST_F(FatFolderParse, EmptyLongNameFallsBackToTheShortName) {
  const test::FatSlot slot = builder_.AddEntry(2, Deleted("EMPTY.TXT", 100, u"x"));
  std::span<uint8_t> longEntry = builder_.SlotBytes({2, slot.index - 1});
  longEntry[1] = 0, longEntry[2] = 0;  // the part now ends before its first character
  EXPECT_EQ(Parse(2, 1), std::vector<int>{1});
  EXPECT_EQ(Pending(), std::vector<std::string>{"XMPTY.TXT 0 100"});
}

TEST_F(FatFolderParse, FiltersByClusterRangeDuplicatesAndStatus) {
  const uint32_t entryCount = static_cast<uint32_t>(builder_.FatEntryCount());
  builder_.AddEntry(2, Deleted("ROOTCL.TXT", 2));                // FAT32: must be above 2
  builder_.AddEntry(2, Deleted("EMPTY.TXT", 0));                 // an empty file
  builder_.AddEntry(2, Deleted("LAST.TXT", entryCount));         // the highest allowed
  builder_.AddEntry(2, Deleted("PAST.TXT", entryCount + 1));
  builder_.AddEntry(2, Deleted("FIRST.TXT", 10));
  builder_.AddEntry(2, Deleted("SECOND.TXT", 10));               // same first cluster: dropped
  builder_.AddEntry(2, Live("LIVE.TXT", 11));
  builder_.AddEntry(2, Deleted("AFTLIVE.TXT", 11));              // a dropped live file blocks nothing
  builder_.AddEntry(2, Live("DIR", 12, 0x10));
  FatEntry goneFolder = Live("GONEDIR", 13, 0x10);
  goneFolder.deleted = true;
  builder_.AddEntry(2, goneFolder);
  EXPECT_EQ(Parse(2, 1), std::vector<int>{1});
  EXPECT_EQ(Pending(), (std::vector<std::string>{"XAST.TXT 0 " + std::to_string(entryCount), "XIRST.TXT 0 10",
                                                 "XFTLIVE.TXT 0 11", "DIR 3 12", "XONEDIR 2 13"}));
}

TEST_F(FatFolderParse, DeletedFolderKeepsLiveEntriesAndNodeFieldsAreStored) {
  FatEntry live = Live("LIVE.TXT", 0x00012345, 0x21);
  live.size = 4242;
  live.createdDate = 0x1234;
  live.modifiedDate = 0x5678;
  builder_.AddEntry(2, live);
  state_.volumeInfo.fatEntryCount = 0x20000;  // as on a volume large enough for that cluster
  EXPECT_EQ(Parse(2, 1, true), std::vector<int>{1});
  ASSERT_NE(state_.pendingFirst, nullptr);
  const ScanNode& node = *state_.pendingFirst;
  EXPECT_EQ(node.name, u"LIVE.TXT");
  EXPECT_EQ(node.nameLength, 8u);
  EXPECT_EQ(node.status, kStatusLive);
  EXPECT_EQ(node.attributes, 0x21u);
  EXPECT_EQ(node.firstCluster, 0x00012345u);  // high word at 0x14, low word at 0x1A
  EXPECT_EQ(node.size, 4242u);
  EXPECT_EQ(node.createdDate, 0x1234u);
  EXPECT_EQ(node.modifiedDate, 0x5678u);
}

}  // namespace
}  // namespace restora
