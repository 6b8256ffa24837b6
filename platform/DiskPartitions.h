// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a whole disk, or an image of one, partition by partition: which partitions hold a
// FAT16, FAT32 or NTFS volume, which are skipped and why, and the engine state set up to scan
// every usable one (or one of them as a plain volume).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "EngineState.h"
#include "PartitionTable.h"

namespace restora {

// One entry of the table and what was found in it.
struct PartitionReport {
  PartitionEntry entry;
  SourceKind kind = SourceKind::Disk;  // Fat16, Fat32 or Ntfs when usable
  bool usable = false;                 // holds a volume the engine scans
  // Why it is not usable ("starts past the end of the disk", "overlaps partition 1", "no FAT16,
  // FAT32 or NTFS volume (ext4)"), or for a usable one what the user should know ("extends past
  // the end of the disk; …"); empty otherwise.
  std::string note;

  // "partition 3 (sectors 2048..4095) skipped: NOTE", or "partition 3 (…): NOTE" when usable.
  std::string NoteLine() const;
};

// Reads the partition table of path and examines every entry. An entry is usable when it starts
// inside the disk, does not overlap another entry, and holds a FAT16, FAT32 or NTFS volume; of
// two overlapping entries the one with such a volume is kept, and between equals the first in the
// table. One that starts inside the disk but ends past it is still usable (with a note). An
// extended MBR partition only holds logical ones and is never usable. Returns 1 with
// *scheme set ("dos", "gpt"; empty when path holds no table), 0 with *error when path cannot be read.
int ExamineDiskPartitions(const std::string& path, std::vector<PartitionReport>* reports, std::string* scheme,
                          std::string* error);

// Opens path as a whole disk and sets state up to scan partitions: with only null, every usable
// partition (state.partitions, scanned by ScanSource into one folder each); otherwise the one
// partition only accepts, as a plain volume read through a window (volumeInfo.startSector holds
// its start). Sets *reports to every entry examined. Returns 1 when ready to scan, 0 with *error
// set when path holds no partition table, no usable partition, or no usable one only accepts
// (the caller runs CleanUp).
int OpenDiskPartitions(EngineState& state, const std::string& path,
                       const std::function<bool(const PartitionEntry&)>& only,
                       std::vector<PartitionReport>* reports, std::string* error);

// For a tree read from a scan file with partitions: state's source is open as the whole disk;
// opens every partition of state.partitions again through a window at its start, and requires
// sameVolume(opened, saved) of each. Returns 1 when every partition is open, 0 with *error set.
int ReopenPartitions(EngineState& state, const std::function<bool(const VolumeInfo&, const VolumeInfo&)>& sameVolume,
                     std::string* error);

}  // namespace restora
