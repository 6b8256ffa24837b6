// SPDX-License-Identifier: GPL-3.0-or-later
// Whole disks scanned partition by partition: each FAT16, FAT32 or NTFS partition is recognised
// and scanned as a volume of its own, and its findings go below a top folder named after it.
#pragma once

#include <cstdint>
#include <memory>

#include "EngineState.h"

namespace restora {

// Recognises the volume in partition, read through window (which becomes the partition's
// reader): fills the partition's volumeInfo (with startSector set to the partition's start) and,
// on NTFS, its table extents. Returns 1 when a FAT16, FAT32 or NTFS volume with a readable table
// was found, 0 otherwise.
[[nodiscard]] int OpenPartition(EngineState& state, PartitionVolume& partition, std::unique_ptr<SourceReader> window);

// Runs ScanSource on every partition of state.partitions in turn (each with its own copy of the
// selected signature list) and builds one tree: below the root, one folder per partition holding
// what its scan found. Numbers the whole tree at the end. Returns 1 when every scan ran to its
// end, 0 when one was stopped (the partitions after it keep empty folders).
int ScanPartitions(EngineState& state, uint8_t withSignatureSearch);

}  // namespace restora
