// SPDX-License-Identifier: GPL-3.0-or-later
// The drive inventory's records: disks, their partitions and the volumes on them, with
// ready-made display texts, in three flat lists tied together by counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace restora {

struct DiskRecord {
  std::string label;           // "Disk # 0 (74.53 GB)"
  std::string rawSize;         // bytes, decimal
  std::string serialText;      // the drive's serial number, or "N/A"
  std::string interfaceType;   // "IDE", "USB" or "SCSI"
  std::string mediaType;       // "Fixed hard disk media" or "Removable Media"
  std::string model;
  std::string partitionsText;  // number of partitions, decimal
  std::string cylindersText;   // geometry of 255 heads and 63 sectors per track
  std::string headsText;
  std::string sectorsText;
  uint32_t partitionCount = 0;  // the next partitionCount entries of the partition list
  std::string devicePath;       // "/dev/sdb": what a physical-disk job opens
};

struct PartitionRecord {
  std::string label;    // "Disk #1, Partition #0 (512.00 MB))"
  std::string rawSize;  // bytes, decimal
  uint32_t logicalDriveCount = 0;  // the next logicalDriveCount entries of the drive list
  std::string devicePath;          // "/dev/sdb1", or the disk for a file system on the whole disk
};

struct LogicalDriveRecord {
  std::string label;  // "/dev/sdb1 (14.90 GB)": the device path and the size
  std::string rawSize;
  std::string volumeName;
  std::string volumeSerialNumber;  // eight hexadecimal digits for FAT and NTFS
  std::string fileSystem;          // "FAT", "FAT32", "NTFS", …
  std::string freeSpace;           // "1.20 GB"; "N/A" while the volume is not mounted
  std::string blockSize;
  uint32_t driveType = 0;  // 3 a fixed disk, 2 a removable one
  std::string devicePath;  // what a drive job opens
  std::string mountPoint;  // empty while not mounted
};

// disks[i] owns the partitionCount partitions that follow those of the disks before it; each
// partition owns its logicalDriveCount drives in the same way.
struct DriveInventory {
  std::vector<DiskRecord> disks;
  std::vector<PartitionRecord> partitions;
  std::vector<LogicalDriveRecord> logicalDrives;
};

}  // namespace restora
