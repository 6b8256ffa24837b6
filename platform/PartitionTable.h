// SPDX-License-Identifier: GPL-3.0-or-later
// The partition table of a whole disk or disk image (MBR with extended and logical partitions,
// or GPT), read with libblkid's partition probing. Offsets and sizes are in 512-byte sectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace restora {

struct PartitionEntry {
  uint32_t number = 0;        // as the table numbers it (logical partitions of an MBR from 5)
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  std::string type;           // MBR: "0x0c"; GPT: the type GUID in lower case
  std::string name;           // GPT partition name; empty on an MBR
  bool extended = false;      // an MBR extended partition: a container of logical ones, no volume
};

struct PartitionTable {
  std::string scheme;  // "dos" or "gpt"; empty when the source holds no partition table
  std::vector<PartitionEntry> entries;  // in table order
};

// Reads the partition table of the source open as fd (read-only; the descriptor stays open and
// is not moved). Returns 1 when the source was probed (table->scheme stays empty when it holds
// none), 0 when libblkid could not probe it (*error says why).
[[nodiscard]] int ReadPartitionTable(int fd, PartitionTable* table, std::string* error);

// The file system libblkid finds at an offset of the source ("ext4", "vfat", "ntfs" …), or
// empty when it knows none there.
std::string ProbeFileSystemName(int fd, uint64_t startSector, uint64_t sectorCount);

}  // namespace restora
