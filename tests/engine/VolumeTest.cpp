// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a volume by its boot sector: every mark of FAT16, FAT32 and NTFS is needed, FAT16 is
// tried first, sizes come from the right fields, and what is no volume is refused.
#include <gtest/gtest.h>

#include "ByteReader.h"
#include "FatImageBuilder.h"
#include "NtfsImageBuilder.h"
#include "ScanDriver.h"
#include "TestSupport.h"

namespace restora {
namespace {

enum Base { kFat16, kFat32, kNtfs };

std::vector<uint8_t> BootSector(Base base) {
  if (base == kNtfs) return test::NtfsImageBuilder().BootSector();
  std::vector<uint8_t> image = (base == kFat16 ? test::FatImageBuilder::Fat16(8192) : test::FatImageBuilder::Fat32(8192)).Take();
  image.resize(512);
  if (base == kFat16) StoreU16(image, 0x13, 0), StoreU32(image, 0x20, 70000);  // the 32-bit total
  if (base == kFat32) StoreU32(image, 0x24, 70000), StoreU32(image, 0x20, 1u << 24);  // a FAT size above 16 bits
  return image;
}

TEST(BootSector, EveryMarkIsNeeded) {
  struct Case { Base base; size_t at; uint64_t value; int bytes; bool accepted; };
  const Case cases[] = {
      {kFat16, 0x15, 0xF0, 1, false}, {kFat16, 0x26, 0x28, 1, false}, {kFat16, 0x0B, 1000, 2, false},
      {kFat16, 0x3A, '2', 1, false},  {kFat16, 511, 0, 1, false},    {kFat16, 3, 0x58585858, 4, true},
      {kFat32, 0x0E, 1, 2, false},    {kFat32, 0x52, 0x58585858, 4, false},
      {kNtfs, 0, 0xE9, 1, false},   {kNtfs, 0x0B, 1, 1, false},     {kNtfs, 0x0D, 0, 1, false},
      {kNtfs, 0x0D, 64, 1, false},  {kNtfs, 0x28, 0, 8, false},     {kNtfs, 0x30, ~0ull, 8, false},
      {kNtfs, 0x38, 0, 8, false},   {kNtfs, 0x16, 1, 1, false},     {kNtfs, 0x20, 1, 4, false},
      {kNtfs, 0x24, 0x00800081, 4, false}, {kNtfs, 0x45, 1, 1, false}, {kNtfs, 3, 0x58585858, 4, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> sector = BootSector(c.base);
    for (int i = 0; i < c.bytes; ++i) sector[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
    VolumeInfo info;
    EXPECT_EQ(RecognizeBootSectorBytes(info, sector), c.accepted ? 1 : 0) << c.base << " at " << c.at;
  }
}

TEST(BootSector, FieldsComeFromTheRightPlaces) {
  VolumeInfo info;
  std::vector<uint8_t> fat16 = BootSector(kFat16);
  ASSERT_EQ(RecognizeBootSectorBytes(info, fat16), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat16);
  EXPECT_EQ(info.totalSectors, 70000u);  // the 32-bit field, as the 16-bit one is 0
  std::copy_n("FAT32   ", 8, fat16.begin() + 0x52);  // passes both tests: FAT16 comes first
  ASSERT_EQ(RecognizeBootSectorBytes(info, fat16), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat16);
  ASSERT_EQ(RecognizeBootSectorBytes(info = {}, BootSector(kFat32)), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat32);
  EXPECT_EQ(info.fatEntryCount, 70000u * 128);  // the FAT size uses all 32 bits
  std::vector<uint8_t> ntfs = BootSector(kNtfs);
  for (const auto& [perRecord, sectors] : {std::pair{-10, 2}, {1, 8}, {-8, 0}, {-128, 0}}) {
    ntfs[0x40] = static_cast<uint8_t>(perRecord);
    ASSERT_EQ(RecognizeBootSectorBytes(info = {}, ntfs), 1);
    EXPECT_EQ(info.sectorsPerRecord, sectors) << perRecord;  // under a sector or absurd: 0
  }
}

TEST(BootSector, WhatIsNoVolumeIsRefusedAndADiskTakesOnlyItsSize) {
  EngineState state;
  const std::vector<uint8_t> fat16 = BootSector(kFat16);
  for (const auto& bytes : {std::vector<uint8_t>(4096, 0), std::vector<uint8_t>(100, 0xAA),
                            std::vector<uint8_t>(fat16.begin(), fat16.begin() + 300)}) {
    EXPECT_EQ(test::OpenMemorySource(state, bytes), 0);
    CleanUp(state);
  }
  std::vector<uint8_t> disk = fat16;
  disk.resize(512 * 1000 + 100);  // a tail shorter than a sector is not counted
  ASSERT_EQ(test::OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  EXPECT_EQ(state.volumeInfo.kind, SourceKind::Disk);
  EXPECT_EQ(state.volumeInfo.totalSectors, 1000u);
  CleanUp(state);
}

}  // namespace
}  // namespace restora
