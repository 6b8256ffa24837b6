// SPDX-License-Identifier: GPL-3.0-or-later
// Recognition of FAT16, FAT32 and NTFS boot sectors: the tests, their order and the stored fields.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "ByteReader.h"
#include "ScanDriver.h"
#include "TestSupport.h"
#include "VolumeAccess.h"

namespace restora {
namespace {

using Sector = std::array<uint8_t, 512>;

Sector Fat16Boot() {
  Sector s{};
  s[0] = 0xEB;
  StoreU16(s, 0x0B, 512);
  s[0x0D] = 4;                 // sectors per cluster
  StoreU16(s, 0x0E, 4);        // reserved sectors
  s[0x10] = 2;                 // FATs
  StoreU16(s, 0x11, 512);      // root entries
  StoreU16(s, 0x13, 40000);    // 16-bit total
  s[0x15] = 0xF8;
  StoreU16(s, 0x16, 40);       // sectors per FAT
  s[0x26] = 0x29;
  std::memcpy(&s[0x36], "FAT16   ", 8);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

Sector Fat32Boot() {
  Sector s{};
  s[0] = 0xEB;
  StoreU16(s, 0x0B, 512);
  s[0x0D] = 8;
  StoreU16(s, 0x0E, 32);
  s[0x10] = 2;
  s[0x15] = 0xF8;
  StoreU32(s, 0x20, 3000000);
  StoreU32(s, 0x24, 70000);  // above 65535: positions use all 32 bits
  StoreU32(s, 0x2C, 2);      // root cluster
  s[0x42] = 0x29;
  std::memcpy(&s[0x52], "FAT32   ", 8);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

Sector NtfsBoot(int8_t clustersPerRecord, uint8_t sectorsPerCluster) {
  Sector s{};
  s[0] = 0xEB;
  s[1] = 0x52;
  s[2] = 0x90;
  std::memcpy(&s[3], "NTFS    ", 8);
  StoreU16(s, 0x0B, 512);  // byte 0x0B is 0: a multiple of 256
  s[0x0D] = sectorsPerCluster;
  StoreU32(s, 0x24, 0x00800080);
  StoreU64(s, 0x28, 204799);
  StoreU64(s, 0x30, 4);
  StoreU64(s, 0x38, 12799);
  s[0x40] = static_cast<uint8_t>(clustersPerRecord);
  s[0x44] = 1;
  StoreU64(s, 0x48, 0x1122334455667788ull);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

TEST(BootSector, Fat16FieldsAndSizeFromThe32BitFieldWhen16BitTotalIsZero) {
  Sector s = Fat16Boot();
  VolumeInfo info;
  ASSERT_EQ(RecognizeBootSectorBytes(info, s), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat16);
  EXPECT_EQ(info.totalSectors, 40000u);
  EXPECT_EQ(info.fatEntryCount, 40u * 256);
  EXPECT_EQ(info.fat1Sector, 4u);
  EXPECT_EQ(info.fat2Sector, 44u);
  EXPECT_EQ(info.clusterBaseSector, 84u);
  EXPECT_EQ(info.sectorsPerFat, 40u);
  EXPECT_EQ(info.fatKind, 1u);
  EXPECT_EQ(info.fatSectorsPerCluster, 4u);

  StoreU16(s, 0x13, 0);
  StoreU32(s, 0x20, 1000000);
  info = VolumeInfo{};
  ASSERT_EQ(RecognizeBootSectorBytes(info, s), 1);
  EXPECT_EQ(info.totalSectors, 1000000u);
}

TEST(BootSector, Fat16NeedsEveryMark) {
  const auto refusedAfter = [](auto change) {
    Sector s = Fat16Boot();
    change(s);
    VolumeInfo info;
    return RecognizeBootSectorBytes(info, s) == 0;
  };
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x15] = 0xF0; }));  // a removable medium's media byte
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x26] = 0x28; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU16(s, 0x0B, 768); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x3A] = '2'; }));  // "FAT12"
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[511] = 0; }));
}

TEST(BootSector, Fat32PositionsUseTheFull32BitFatSize) {
  Sector s = Fat32Boot();
  VolumeInfo info;
  ASSERT_EQ(RecognizeBootSectorBytes(info, s), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat32);
  EXPECT_EQ(info.totalSectors, 3000000u);
  EXPECT_EQ(info.fatEntryCount, 70000u * 128);
  EXPECT_EQ(info.fat1Sector, 32u);
  EXPECT_EQ(info.fat2Sector, 70032u);
  EXPECT_EQ(info.clusterBaseSector, 140032u);
  EXPECT_EQ(info.sectorsPerFat, 70000u % 65536);
  EXPECT_EQ(info.fatKind, 2u);

  StoreU16(s, 0x0E, 1);  // one reserved sector is not a FAT32 volume
  EXPECT_EQ(RecognizeBootSectorBytes(info = VolumeInfo{}, s), 0);
}

TEST(BootSector, Fat16TestComesFirst) {
  // A sector that passes both FAT tests is FAT16.
  Sector s = Fat16Boot();
  std::memcpy(&s[0x52], "FAT32", 5);
  VolumeInfo info;
  ASSERT_EQ(RecognizeBootSectorBytes(info, s), 1);
  EXPECT_EQ(info.kind, SourceKind::Fat16);
}

TEST(BootSector, NtfsFieldsAndRecordSizes) {
  VolumeInfo info;
  ASSERT_EQ(RecognizeBootSectorBytes(info, NtfsBoot(1, 8)), 1);
  EXPECT_EQ(info.kind, SourceKind::Ntfs);
  EXPECT_EQ(info.totalSectors, 204799u);
  EXPECT_EQ(info.mftCluster, 4u);
  EXPECT_EQ(info.mftMirrorCluster, 12799u);
  EXPECT_EQ(info.serialNumber, 0x1122334455667788ull);
  EXPECT_EQ(info.ntfsSectorsPerCluster, 8u);
  EXPECT_EQ(info.sectorsPerRecord, 8u);       // one cluster of 8 sectors
  EXPECT_EQ(info.sectorsPerIndexBuffer, 8u);

  info = VolumeInfo{};
  ASSERT_EQ(RecognizeBootSectorBytes(info, NtfsBoot(-10, 8)), 1);
  EXPECT_EQ(info.sectorsPerRecord, 2u);  // 1024-byte records

  info = VolumeInfo{};
  ASSERT_EQ(RecognizeBootSectorBytes(info, NtfsBoot(-8, 1)), 1);
  EXPECT_EQ(info.sectorsPerRecord, 0u);  // 256 bytes: under one sector
  info = VolumeInfo{};
  ASSERT_EQ(RecognizeBootSectorBytes(info, NtfsBoot(-128, 1)), 1);
  EXPECT_EQ(info.sectorsPerRecord, 0u);  // absurd powers do not overflow
}

TEST(BootSector, NtfsNeedsEveryMark) {
  const auto refusedAfter = [](auto change) {
    Sector s = NtfsBoot(-10, 8);
    change(s);
    VolumeInfo info;
    return RecognizeBootSectorBytes(info, s) == 0;
  };
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0] = 0xE9; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x0B] = 1; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x0D] = 0; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x0D] = 64; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU64(s, 0x28, 0); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU64(s, 0x30, ~0ull); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU64(s, 0x38, 0); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x16] = 1; }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU32(s, 0x20, 1); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { StoreU32(s, 0x24, 0x00800081); }));
  EXPECT_TRUE(refusedAfter([](Sector& s) { s[0x45] = 1; }));
  EXPECT_FALSE(refusedAfter([](Sector& s) { std::memcpy(&s[3], "XXXXXXXX", 8); }));  // the OEM name is free
}

TEST(BootSector, ZerosAndShortSourcesAreRefused) {
  EngineState state;
  EXPECT_EQ(test::OpenMemorySource(state, std::vector<uint8_t>(4096, 0)), 0);
  CleanUp(state);
  EXPECT_EQ(test::OpenMemorySource(state, std::vector<uint8_t>(100, 0xAA)), 0);
  CleanUp(state);
  Sector s = Fat16Boot();
  EXPECT_EQ(test::OpenMemorySource(state, std::vector<uint8_t>(s.begin(), s.begin() + 300)), 0);  // cut short
  CleanUp(state);
}

TEST(BootSector, PhysicalDiskTakesOnlyItsSize) {
  EngineState state;
  Sector s = Fat16Boot();
  std::vector<uint8_t> disk(s.begin(), s.end());
  disk.resize(512 * 1000 + 100);  // a tail shorter than a sector is not counted
  ASSERT_EQ(test::OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  EXPECT_EQ(state.volumeInfo.kind, SourceKind::Disk);
  EXPECT_EQ(state.volumeInfo.totalSectors, 1000u);
  EXPECT_EQ(state.volumeInfo.fatEntryCount, 0u);
  EXPECT_EQ(state.volumePath, u"memory");
  CleanUp(state);
  EXPECT_EQ(test::OpenMemorySource(state, {}, OpenMode::PhysicalDisk), 0);
  CleanUp(state);
  CleanUp(state);  // twice is harmless
  EXPECT_EQ(state.deviceHandle, nullptr);
  EXPECT_EQ(state.scanRoot, nullptr);
}

}  // namespace
}  // namespace restora
