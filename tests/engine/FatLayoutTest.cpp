// SPDX-License-Identifier: GPL-3.0-or-later
// FAT volumes as their boot sectors lay them out: root areas of any size, sectors of up to
// 4096 bytes, a FAT32 root folder off cluster 2, boot sectors that cannot describe a volume;
// and 8.3 names as written (case flags, entries without an attribute).
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "ByteReader.h"
#include "FatChain.h"
#include "FatDirEntry.h"
#include "TextCodec.h"
#include "VolumeAccess.h"

namespace restora {
namespace {

using Sector = std::array<uint8_t, 512>;

struct FatBoot {
  bool fat32 = false;
  uint16_t sectorBytes = 512;
  uint8_t perCluster = 4;
  uint16_t reserved = 4;
  uint8_t fats = 2;
  uint16_t rootEntries = 512;
  uint32_t total = 40000;
  uint32_t fatSectors = 40;
  uint32_t rootCluster = 2;

  Sector Bytes() const {
    Sector s{};
    s[0] = 0xEB;
    StoreU16(s, 0x0B, sectorBytes);
    s[0x0D] = perCluster;
    StoreU16(s, 0x0E, reserved);
    s[0x10] = fats;
    StoreU16(s, 0x11, fat32 ? 0 : rootEntries);
    s[0x15] = 0xF8;
    StoreU32(s, 0x20, total);
    if (fat32) {
      StoreU32(s, 0x24, fatSectors);
      StoreU32(s, 0x2C, rootCluster);
      std::memcpy(&s[0x52], "FAT32   ", 8);
    } else {
      StoreU16(s, 0x16, static_cast<uint16_t>(fatSectors));
      s[0x26] = 0x29;
      std::memcpy(&s[0x36], "FAT16   ", 8);
    }
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
  }
};

TEST(FatLayout, PositionsFollowTheBootSectorIn512ByteUnits) {
  struct Case {
    FatBoot boot;
    uint64_t rootSector, rootBytes, cluster2Sector, fat2Sector, unitsPerCluster, totalSectors;
    uint32_t rootCluster;
  };
  FatBoot r1024;
  r1024.rootEntries = 1024;
  FatBoot r2048OneFat;
  r2048OneFat.rootEntries = 2048;
  r2048OneFat.fats = 1;
  FatBoot big16;  // 4096-byte sectors: 8 units each
  big16.sectorBytes = 4096;
  big16.perCluster = 1;
  big16.reserved = 1;
  big16.rootEntries = 512;
  big16.fatSectors = 4;
  FatBoot moved32;
  moved32.fat32 = true;
  moved32.reserved = 32;
  moved32.fatSectors = 300;
  moved32.rootCluster = 300;
  FatBoot big32 = moved32;
  big32.sectorBytes = 4096;
  big32.perCluster = 1;
  const Case cases[] = {
      {FatBoot{}, 84, 16384, 116, 44, 4, 40000, 1},
      {r1024, 84, 32768, 148, 44, 4, 40000, 1},
      {r2048OneFat, 44, 65536, 172, 44, 4, 40000, 1},
      {big16, 72, 16384, 104, 40, 8, 320000, 1},
      {moved32, 0, 0, 632, 332, 4, 40000, 300},
      {big32, 0, 0, 5056, 2656, 8, 320000, 300},
  };
  for (const Case& c : cases) {
    VolumeInfo info;
    std::string refusal;
    ASSERT_EQ(RecognizeBootSectorBytes(info, c.boot.Bytes(), &refusal), 1) << refusal;
    uint64_t rootSector = 0;
    size_t rootBytes = 0;
    if (!c.boot.fat32) {
      FatRootArea(info, rootSector, rootBytes);
      EXPECT_EQ(rootSector, c.rootSector);
      EXPECT_EQ(rootBytes, c.rootBytes);
    }
    EXPECT_EQ(FatClusterSector(info, 2), c.cluster2Sector) << c.boot.rootEntries;
    EXPECT_EQ(info.fat2Sector, c.fat2Sector);
    EXPECT_EQ(info.fatSectorsPerCluster, c.unitsPerCluster);
    EXPECT_EQ(info.totalSectors, c.totalSectors);
    EXPECT_EQ(FatRootCluster(info), c.rootCluster);
  }
}

TEST(FatLayout, BootSectorsThatCannotDescribeAVolumeAreRefusedWithTheReason) {
  struct Case {
    void (*change)(FatBoot&);
    const char* reason;
  };
  const Case cases[] = {
      {[](FatBoot& b) { b.fatSectors = 30000; }, "reach past the volume's end"},
      {[](FatBoot& b) { b.perCluster = 3; }, "not a power of two"},
      {[](FatBoot& b) { b.fats = 0; }, "no FAT"},
      {[](FatBoot& b) { b.reserved = 0; }, "no reserved sectors"},
      {[](FatBoot& b) { b.rootEntries = 0; }, "no entries"},
      {[](FatBoot& b) { b.sectorBytes = 4096, b.perCluster = 64; }, "larger than 127 KiB"},
      {[](FatBoot& b) { b.fat32 = true, b.reserved = 32, b.rootCluster = 1; }, "cluster 1 is not on the volume"},
      {[](FatBoot& b) { b.fat32 = true, b.reserved = 32, b.rootCluster = 20000; }, "cluster 20000 is not on the volume"},
  };
  for (const Case& c : cases) {
    FatBoot boot;
    c.change(boot);
    VolumeInfo info;
    std::string refusal;
    EXPECT_EQ(RecognizeBootSectorBytes(info, boot.Bytes(), &refusal), 0) << c.reason;
    EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
  }
}

std::array<uint8_t, 32> Entry(const char* name11, uint8_t attributes, uint8_t caseFlags) {
  std::array<uint8_t, 32> entry{};
  std::memcpy(entry.data(), name11, 11);
  entry[0x0B] = attributes;
  entry[0x0C] = caseFlags;
  return entry;
}

TEST(FatLayout, CaseFlagsGiveLowerCaseNamesAndExtensions) {
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
    EXPECT_EQ(Utf16ToUtf8(ShortEntryName(Entry(c.name11, 0x20, c.caseFlags))), c.shown) << c.name11;
  }
}

TEST(FatLayout, EntriesWithoutAttributesAreFilesWhenTheirNameBytesAreAName) {
  struct Case {
    const char* name11;
    bool valid;
  };
  const Case cases[] = {
      {"\xE5" "OARCH  BIN", true}, {"DATA_1  $$$", true}, {"\x05" "BC     TXT", true},
      {"\x82T      DAT", true},    {"lower   TXT", false}, {"BAD*    TXT", false},
      {"TAB\x09    TXT", false},   {" LEADING   ", false}, {"\xE5" "A.B    TXT", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidShortEntry(Entry(c.name11, 0x00, 0)), c.valid) << c.name11;
}

}  // namespace
}  // namespace restora
