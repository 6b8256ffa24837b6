// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a volume by its boot sector: every mark of FAT16, FAT32 and NTFS is needed, FAT16 is
// tried first, boot sectors that cannot describe a volume are refused with the reason, and NTFS
// record sizes. (FAT layouts with root areas of any size, 4096-byte sectors and a moved FAT32 root
// folder: tests/real/recovery_vs_hashes.sh on volumes made by mkfs.fat.)
#include <gtest/gtest.h>

#include "ByteReader.h"
#include "FatImageBuilder.h"
#include "NtfsImageBuilder.h"
#include "ScanDriver.h"
#include "TestSupport.h"

namespace restora {
namespace {

enum Base { kFat16, kFat32, kNtfs };
struct Patch { size_t at; int bytes; uint64_t value; };

// The builders' boot sectors (4 sectors per FAT cluster), changed as given.
std::vector<uint8_t> BootSector(Base base, const std::vector<Patch>& patches = {}) {
  std::vector<uint8_t> s = base == kNtfs ? test::NtfsImageBuilder().BootSector()
                                         : test::FatImageBuilder({base == kFat16 ? test::FatWidth::Fat16 : test::FatWidth::Fat32, 8192, 4}).Take();
  s.resize(512);
  for (const Patch& p : patches) {
    for (int i = 0; i < p.bytes; ++i) s[p.at + i] = static_cast<uint8_t>(p.value >> (8 * i));
  }
  return s;
}

TEST(BootSector, EveryMarkIsNeededAndNonsenseIsRefusedWithTheReason) {
  struct Case { Base base; std::vector<Patch> patches; const char* reason; };  // reason "+": accepted
  const Case cases[] = {
      {kFat16, {{0x15, 1, 0xF0}}, ""}, {kFat16, {{0x26, 1, 0x28}}, ""}, {kFat16, {{0x0B, 2, 1000}}, ""},
      {kFat16, {{0x3A, 1, '2'}}, ""},  {kFat16, {{511, 1, 0}}, ""},     {kFat16, {{3, 4, 0x58585858}}, "+"},
      {kFat32, {{0x0E, 2, 1}}, ""},    {kFat32, {{0x52, 4, 0x58585858}}, ""}, {kFat32, {{0x0D, 1, 0}}, ""},
      {kFat32, {{0x24, 4, 0xFFFFFFFF}}, ""},
      {kNtfs, {{0, 1, 0xE9}}, ""},     {kNtfs, {{0x0B, 1, 1}}, ""},     {kNtfs, {{0x0D, 1, 0}}, ""},
      {kNtfs, {{0x0D, 1, 64}}, ""},    {kNtfs, {{0x28, 8, 0}}, ""},     {kNtfs, {{0x30, 8, ~0ull}}, ""},
      {kNtfs, {{0x38, 8, 0}}, ""},     {kNtfs, {{0x16, 1, 1}}, ""},     {kNtfs, {{0x20, 4, 1}}, ""},
      {kNtfs, {{0x24, 4, 0x00800081}}, ""}, {kNtfs, {{0x45, 1, 1}}, ""}, {kNtfs, {{3, 4, 0x58585858}}, "+"},
      {kFat16, {{0x16, 2, 30000}}, "reach past the volume's end"}, {kFat16, {{0x0D, 1, 3}}, "not a power of two"},
      {kFat16, {{0x10, 1, 0}}, "no FAT"},                           {kFat16, {{0x0E, 2, 0}}, "no reserved sectors"},
      {kFat16, {{0x11, 2, 0}}, "no entries"}, {kFat16, {{0x0B, 2, 4096}, {0x0D, 1, 64}}, "larger than 127 KiB"},
      {kFat32, {{0x2C, 4, 1}}, "cluster 1 is not on the volume"},
      {kFat32, {{0x2C, 4, 20000}}, "cluster 20000 is not on the volume"},
  };
  for (const Case& c : cases) {
    VolumeInfo info;
    std::string refusal;
    const bool accepted = std::string_view(c.reason) == "+";
    EXPECT_EQ(RecognizeBootSectorBytes(info, BootSector(c.base, c.patches), &refusal), accepted ? 1 : 0)
        << c.base << " at " << c.patches[0].at;
    if (!accepted) { EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal; }
  }
}

TEST(BootSector, NtfsRecordsOfUnderASectorOrAbsurdSizeGiveNoSectorsPerRecord) {
  for (const auto& [perRecord, sectors] : {std::pair{-10, 2}, {1, 8}, {-8, 0}, {-128, 0}}) {
    VolumeInfo info;
    ASSERT_EQ(RecognizeBootSectorBytes(info, BootSector(kNtfs, {{0x40, 1, static_cast<uint8_t>(perRecord)}})), 1);
    EXPECT_EQ(info.sectorsPerRecord, sectors) << perRecord;  // under a sector or absurd: 0
  }
}

}  // namespace
}  // namespace restora
