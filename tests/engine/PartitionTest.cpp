// SPDX-License-Identifier: GPL-3.0-or-later
// A disk of three partitions (FAT16, FAT32, and a FAT16 where nothing was deleted) scanned
// partition by partition: one tree with a folder per partition, every file saved from its own
// partition's window, and the window that keeps a partition's reads inside it. (A saved scan
// that reopens the partitions: tests/real/images.sh on real disks.)
#include <gtest/gtest.h>

#include <filesystem>

#include "DiskPartitions.h"
#include "FatImageBuilder.h"
#include "PartitionScan.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanTree.h"
#include "SourceWindow.h"
#include "TestSupport.h"

namespace restora {
namespace {

constexpr uint32_t kVolumeSectors = 8192;
constexpr uint64_t kStarts[] = {2048, 2048 + kVolumeSectors, 2048 + 2 * kVolumeSectors};

// A disk of three partitions, opened as the platform does for a disk image, and scanned. Both
// deleted files lie at the same cluster of their volumes, so a read from the wrong partition shows.
TEST(PartitionTest, EachPartitionIsScannedBelowItsFolderAndSavedFromItsOwnWindow) {
  std::vector<uint8_t> disk(kStarts[0] * kSectorSize);
  for (int i = 0; i < 3; ++i) {
    test::FatImageBuilder volume({i == 1 ? test::FatWidth::Fat32 : test::FatWidth::Fat16, kVolumeSectors, 1});
    if (i < 2) volume.AddFile(volume.RootFolder(), {i == 0 ? "FIRST.TXT" : "SECOND.TXT", {}, 0x20, 0, 0, true},
                              std::vector<uint8_t>(3000 + 2000 * i, static_cast<uint8_t>('a' + i)));
    const std::vector<uint8_t> bytes = volume.Take();
    disk.insert(disk.end(), bytes.begin(), bytes.end());
  }
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  for (uint32_t i = 0; i < 3; ++i) {
    PartitionVolume partition;
    partition.number = i + 1, partition.startSector = kStarts[i], partition.sectorCount = kVolumeSectors;
    auto window = std::make_unique<SourceWindow>(*state.deviceHandle, kStarts[i] * kSectorSize, kVolumeSectors * kSectorSize);
    ASSERT_EQ(OpenPartition(state, partition, std::move(window)), 1);
    state.partitions.push_back(std::move(partition));
  }
  state.keepRunning = 1;
  ASSERT_EQ(ScanSource(state, 0), 1);
  EXPECT_EQ(state.volumeInfo.kind, SourceKind::Disk);
  EXPECT_EQ(test::TreeLines(state), (std::vector<std::string>{"folder 0 Partition 1 (FAT16)", "deleted-file 3000 Partition 1 (FAT16)/XIRST.TXT",
                                                              "folder 0 Partition 2 (FAT32)", "deleted-file 5000 Partition 2 (FAT32)/XECOND.TXT",
                                                              "folder 0 Partition 3 (FAT16)"}));
  // The views show each partition's entries in that partition's layout.
  EXPECT_EQ(KindOfNode(state, state.scanRoot->firstChild->next->firstChild), SourceKind::Fat32);
  EXPECT_EQ(KindOfNode(state, state.scanRoot), SourceKind::Disk);
  test::TempFolder temp;  // every entry saved: what was written there (a folder as "/")
  std::unique_ptr<PosixDestination> destination = PosixDestination::Open(temp.Path(), nullptr);
  SetChecked(state.scanRoot->firstChild, 1);
  EXPECT_EQ(SaveCheckedEntries(state, *destination), 1);
  std::map<std::string, std::string> saved;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path())) {
    const std::vector<uint8_t> bytes = entry.is_directory() ? std::vector<uint8_t>{'/'} : test::ReadWholeFile(entry.path());
    saved[std::filesystem::relative(entry.path(), temp.Path())] = std::string(bytes.begin(), bytes.end());
  }
  const std::map<std::string, std::string> expected{
      {"#", "/"}, {"#/Partition 1 (FAT16)", "/"}, {"#/Partition 2 (FAT32)", "/"},
      {"#/Partition 3 (FAT16)", "/"},  // nothing found there: an empty folder, not a failed file
      {"#/Partition 1 (FAT16)/XIRST.TXT", std::string(3000, 'a')}, {"#/Partition 2 (FAT32)/XECOND.TXT", std::string(5000, 'b')}};
  EXPECT_EQ(saved, expected);
  CleanUp(state);
}

TEST(SourceWindow, DeliversOnlyWhatLiesInsideIt) {
  std::vector<uint8_t> bytes(4096);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 512);
  MemorySourceReader disk(bytes);
  SourceWindow window(disk, 1024, 1024);  // sectors 2 and 3
  struct Case { uint64_t offset; size_t wanted, delivered; uint8_t firstByte; };
  const Case cases[] = {{0, 512, 512, 2}, {512, 1024, 512, 3}, {1000, 512, 24, 3}, {1024, 512, 0, 0xEE}, {~0ull - 4, 8, 0, 0xEE}};
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(c.wanted, 0xEE);
    size_t delivered = 99;
    EXPECT_EQ(window.ReadAt(c.offset, buffer, &delivered), 1) << c.offset;
    EXPECT_EQ(delivered, c.delivered) << c.offset;
    EXPECT_EQ(buffer[0], c.firstByte) << c.offset;
    if (c.delivered < c.wanted) { EXPECT_EQ(buffer[c.delivered], 0xEE) << c.offset; }
  }
  EXPECT_EQ(window.SizeBytes(), 1024u);
}

}  // namespace
}  // namespace restora
