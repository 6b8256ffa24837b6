// SPDX-License-Identifier: GPL-3.0-or-later
// The inventory of disks, partitions and volumes, taken from sysfs, udev's database, the mount
// table and libblkid probes. Nothing is written; file systems are probed read-only.
#pragma once

#include <string>
#include <vector>

#include "DriveRecords.h"

namespace restora {

// Where the inventory looks; tests point these at fixture trees.
struct InventorySources {
  std::string sysRoot = "/sys";               // holds class/block
  std::string udevDataRoot = "/run/udev/data";
  std::string mountInfoPath = "/proc/self/mountinfo";
  std::string deviceRoot = "/dev";            // where probes open the devices
  // When not empty, only the disks with these device paths ("/dev/loop3") are listed; they keep
  // the numbers they have in the full inventory.
  std::vector<std::string> onlyDisks;
};

// Fills inventory with the whole disks (no RAM disks, no loop device without a backing file, no
// optical drives), the partitions of each, and a drive for every file system found on them; a
// file system on a whole disk counts as its one partition. Disks come in name order ("sda" before
// "sdb", "loop2" before "loop10"). Returns 1 when the list of block devices could be read (the
// lists may then still be empty), 0 otherwise with *error set.
[[nodiscard]] int EnumerateDrives(const InventorySources& sources, DriveInventory& inventory, std::string* error);

}  // namespace restora
