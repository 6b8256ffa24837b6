// SPDX-License-Identifier: GPL-3.0-or-later
// A disk of two partitions (FAT16, then FAT32) scanned partition by partition: one tree with a
// folder per partition, every file saved from its own partition, a scan file that keeps the
// partitions for its reader and shows older readers the disk, damaged partitions blocks, and the
// window that keeps a partition's reads inside it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "DiskPartitions.h"
#include "FatImageBuilder.h"
#include "PartitionScan.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "SourceWindow.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

using test::FatImageBuilder;

constexpr uint64_t kFirstStart = 2048;
constexpr uint32_t kVolumeSectors = 8192;
constexpr uint64_t kSecondStart = kFirstStart + kVolumeSectors;

// A deleted file of size bytes filled with fill, in the volume's root.
void AddDeletedFile(FatImageBuilder& volume, const char* name, uint8_t fill, size_t size) {
  test::FatEntry entry;
  entry.shortName = name;
  entry.deleted = true;
  volume.AddFile(volume.RootFolder(), entry, std::vector<uint8_t>(size, fill));
}

// Both volumes put their file at the same cluster, so a read from the wrong partition shows.
std::vector<uint8_t> TwoPartitionDisk() {
  FatImageBuilder first = FatImageBuilder::Fat16(kVolumeSectors);
  FatImageBuilder second = FatImageBuilder::Fat32(kVolumeSectors);
  AddDeletedFile(first, "FIRST.TXT", 'a', 3000);
  AddDeletedFile(second, "SECOND.TXT", 'b', 5000);
  std::vector<uint8_t> disk(kFirstStart * kSectorSize);
  for (FatImageBuilder* volume : {&first, &second}) {
    std::vector<uint8_t> bytes = volume->Take();
    bytes.resize(kVolumeSectors * kSectorSize);
    disk.insert(disk.end(), bytes.begin(), bytes.end());
  }
  return disk;
}

// Opens disk as a whole disk with its two partitions, as the platform does for a disk image.
void OpenTwoPartitions(EngineState& state, const std::vector<uint8_t>& disk) {
  ASSERT_EQ(test::OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  uint32_t number = 1;
  for (const uint64_t start : {kFirstStart, kSecondStart}) {
    PartitionVolume partition;
    partition.number = number++;
    partition.startSector = start;
    partition.sectorCount = kVolumeSectors;
    auto window = std::make_unique<SourceWindow>(*state.deviceHandle, start * kSectorSize, kVolumeSectors * kSectorSize);
    ASSERT_EQ(OpenPartition(state, partition, std::move(window)), 1);
    state.partitions.push_back(std::move(partition));
  }
}

// Saves every entry below a fresh folder and returns what was written there.
std::map<std::string, std::string> SaveAll(EngineState& state) {
  test::TempFolder temp;
  std::unique_ptr<PosixDestination> destination = PosixDestination::Open(temp.Path(), nullptr);
  SetChecked(state.scanRoot->firstChild, 1);
  state.keepRunning = 1;
  SaveSummary summary;
  EXPECT_EQ(SaveCheckedEntries(state, *destination, &summary), 1);
  std::map<std::string, std::string> saved;
  for (const auto& [path, size] : test::ListTree(temp.Path())) {
    if (size < 0) continue;
    const std::vector<uint8_t> bytes = test::ReadWholeFile(temp.Path() + "/" + path);
    saved[path] = std::string(bytes.begin(), bytes.end());
  }
  return saved;
}

std::string Serialized(const EngineState& state) {
  std::ostringstream out;
  EXPECT_EQ(WriteScanInfoTo(state, out), 1);
  return out.str();
}

TEST(PartitionTest, EachPartitionIsScannedBelowItsFolderAndSavedFromItsOwnWindow) {
  const std::vector<uint8_t> disk = TwoPartitionDisk();
  EngineState state;
  OpenTwoPartitions(state, disk);
  state.keepRunning = 1;
  ASSERT_EQ(ScanSource(state, 0), 1);
  EXPECT_EQ(state.volumeInfo.kind, SourceKind::Disk);
  const ScanNode* first = state.scanRoot->firstChild;
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->next, nullptr);
  EXPECT_EQ(first->name, u"Partition 1 (FAT16)");
  EXPECT_EQ(first->next->name, u"Partition 2 (FAT32)");
  EXPECT_EQ(state.partitions[1].volumeInfo.startSector, kSecondStart);

  const std::map<std::string, std::string> expected{
      {"#/Partition 1 (FAT16)/XIRST.TXT", std::string(3000, 'a')},
      {"#/Partition 2 (FAT32)/XECOND.TXT", std::string(5000, 'b')}};
  EXPECT_EQ(SaveAll(state), expected);

  // A saved scan keeps the partitions; opened again from the disk it saves the same bytes.
  std::istringstream in(Serialized(state));
  EngineState reread;
  ASSERT_EQ(ReadScanInfoFrom(reread, in), 1);
  ASSERT_EQ(reread.partitions.size(), 2u);
  EXPECT_EQ(reread.partitions[0].volumeInfo.kind, SourceKind::Fat16);
  EXPECT_EQ(reread.partitions[1].volumeInfo.kind, SourceKind::Fat32);
  EXPECT_EQ(reread.partitions[1].startSector, kSecondStart);
  reread.deviceHandle = std::make_unique<MemorySourceReader>(disk);
  std::string error;
  const auto same = [](const VolumeInfo& a, const VolumeInfo& b) { return a.kind == b.kind && a.totalSectors == b.totalSectors; };
  ASSERT_EQ(ReopenPartitions(reread, same, &error), 1) << error;
  EXPECT_EQ(SaveAll(reread), expected);
}

TEST(PartitionTest, AReaderThatStopsAfterTheTreeSeesTheDiskWithEmptyPartitionFolders) {
  EngineState state;
  OpenTwoPartitions(state, TwoPartitionDisk());
  state.keepRunning = 1;
  ASSERT_EQ(ScanSource(state, 0), 1);
  const std::string bytes = Serialized(state);
  const std::string signature(kPartitionBlockSignature.begin(), kPartitionBlockSignature.end());
  const size_t block = bytes.find(signature);
  ASSERT_NE(block, std::string::npos);

  std::istringstream body(bytes.substr(0, block));
  EngineState reread;
  ASSERT_EQ(ReadScanInfoFrom(reread, body), 1);
  EXPECT_EQ(reread.volumeInfo.kind, SourceKind::Disk);
  EXPECT_TRUE(reread.partitions.empty());
  ASSERT_EQ(CountNodes(reread.scanRoot), 2u);
  EXPECT_EQ(reread.scanRoot->firstChild->name, u"Partition 1 (FAT16)");
}

TEST(PartitionTest, ADamagedPartitionsBlockKeepsWhatItHolds) {
  EngineState state;
  OpenTwoPartitions(state, TwoPartitionDisk());
  state.keepRunning = 1;
  ASSERT_EQ(ScanSource(state, 0), 1);
  const std::string bytes = Serialized(state);
  const size_t block = bytes.find(std::string(kPartitionBlockSignature.begin(), kPartitionBlockSignature.end()));
  ASSERT_NE(block, std::string::npos);
  const size_t count = block + kPartitionBlockSignature.size();
  struct Case {
    const char* what;
    std::string file;
    size_t partitions;  // at most this many come back
  };
  const Case cases[] = {
      {"a count far beyond the file", bytes.substr(0, count) + "\xFF\xFF", 0},
      {"cut inside the first header", bytes.substr(0, count + 2 + 40), 0},
      {"cut inside the second tree", bytes.substr(0, bytes.size() - 30), 2},
      {"whole", bytes, 2},
  };
  EXPECT_EQ(CountNodes(state.scanRoot), 4u);
  for (const Case& c : cases) {
    std::istringstream in(c.file);
    EngineState reread;
    ASSERT_EQ(ReadScanInfoFrom(reread, in), 1) << c.what;
    EXPECT_LE(reread.partitions.size(), c.partitions) << c.what;
    size_t folders = 0;
    for (const ScanNode* folder = reread.scanRoot->firstChild; folder != nullptr; folder = folder->next) {
      EXPECT_EQ(folder, reread.partitions[folders].folder) << c.what;
      ++folders;
    }
    EXPECT_EQ(folders, reread.partitions.size()) << c.what;
  }
}

TEST(PartitionTest, AWindowDeliversOnlyWhatLiesInsideIt) {
  std::vector<uint8_t> bytes(4096);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 512);
  MemorySourceReader disk(bytes);
  SourceWindow window(disk, 1024, 1024);  // sectors 2 and 3
  struct Case {
    uint64_t offset;
    size_t wanted;
    size_t delivered;
    uint8_t firstByte;
  };
  const Case cases[] = {{0, 512, 512, 2}, {512, 1024, 512, 3}, {1000, 512, 24, 3}, {1024, 512, 0, 0xEE}, {~0ull - 4, 8, 0, 0xEE}};
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(c.wanted, 0xEE);
    size_t delivered = 99;
    EXPECT_EQ(window.ReadAt(c.offset, buffer, &delivered), 1) << c.offset;
    EXPECT_EQ(delivered, c.delivered) << c.offset;
    EXPECT_EQ(buffer[0], c.firstByte) << c.offset;
    if (c.delivered < c.wanted) {
      EXPECT_EQ(buffer[c.delivered], 0xEE) << c.offset;
    }
  }
  EXPECT_EQ(window.SizeBytes(), 1024u);
}

}  // namespace
}  // namespace restora
