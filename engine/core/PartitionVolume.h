// SPDX-License-Identifier: GPL-3.0-or-later
// One partition of a whole disk that a scan covers as a volume of its own. A scan of several
// partitions keeps one of these per partition in the engine state: the tree then holds one top
// folder per partition, and whatever reads a node below that folder (the recovery writer) reads
// it through the partition's own source window and description.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ScanModel.h"
#include "SourceReader.h"

namespace restora {

struct EngineState;

struct PartitionVolume {
  uint32_t number = 0;       // the partition's number in the disk's table
  uint64_t startSector = 0;  // where it starts on the disk, in 512-byte sectors
  uint64_t sectorCount = 0;  // its length in the table
  VolumeInfo volumeInfo;     // its own description (startSector holds the partition's start)
  std::vector<NtfsRun> mftRuns;
  // A window on the disk that the engine state holds open; null for a partition read from a
  // scan file until the source is opened again.
  std::unique_ptr<SourceReader> reader;
  ScanNode* folder = nullptr;  // its top folder in the tree ("Partition 1 (FAT32)")
};

// The name of a partition's top folder: "Partition N (FAT16|FAT32|NTFS)".
std::u16string PartitionFolderName(uint32_t number, SourceKind kind);

// While it lives, the engine state reads and describes the partition: the state's source,
// description and table extents are swapped with the partition's, and swapped back at its end.
class PartitionScope {
 public:
  PartitionScope(EngineState& state, PartitionVolume& partition);
  ~PartitionScope();
  PartitionScope(const PartitionScope&) = delete;
  PartitionScope& operator=(const PartitionScope&) = delete;

 private:
  void Swap();
  EngineState& state_;
  PartitionVolume& partition_;
};

// The partition whose top folder node is, or null.
PartitionVolume* FindPartitionOfFolder(std::vector<PartitionVolume>& partitions, const ScanNode* node);

}  // namespace restora
