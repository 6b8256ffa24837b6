// SPDX-License-Identifier: GPL-3.0-or-later
// The drive inventory on a fixture machine (sysfs and udev trees), and its display texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DriveInventory.h"
#include "DriveLabels.h"

namespace restora {
namespace {

const std::string kMachine = std::string(RESTORA_SOURCE_DIR) + "/tests/drives/fixtures/machine";

InventorySources FixtureSources(const std::string& mountInfo = "/nonexistent") {
  InventorySources sources;
  sources.sysRoot = kMachine + "/sys";
  sources.udevDataRoot = kMachine + "/udev";
  sources.deviceRoot = kMachine + "/dev";
  sources.mountInfoPath = mountInfo;
  return sources;
}

TEST(DriveInventory, FixtureMachine) {
  DriveInventory inventory;
  std::string error;
  ASSERT_EQ(EnumerateDrives(FixtureSources(), inventory, &error), 1) << error;

  // label, model, serial, interface, media, partition count, device
  const std::vector<std::vector<std::string>> disks = {
      {"Disk # 0 (74.53 GB)", "WDC WD800JD-75MSA3", "WD-WMAM9AB12345", "IDE", "Fixed hard disk media", "2", "/dev/sda"},
      {"Disk # 1 (1.00 GB)", "Cruzer", "N/A", "USB", "Removable Media", "1", "/dev/sdb"},
      {"Disk # 2 (14.84 GB)", "Flash Disk", "N/A", "USB", "Fixed hard disk media", "1", "/dev/sdc"},
      {"Disk # 3 (10.00 MB))", "Loop device evidence.img", "N/A", "SCSI", "Fixed hard disk media", "0", "/dev/loop1"}};
  ASSERT_EQ(inventory.disks.size(), disks.size());
  for (size_t i = 0; i < disks.size(); ++i) {
    const DiskRecord& disk = inventory.disks[i];
    EXPECT_EQ((std::vector<std::string>{disk.label, disk.model, disk.serialText, disk.interfaceType, disk.mediaType,
                                        std::to_string(disk.partitionCount), disk.devicePath}),
              disks[i]);
    EXPECT_EQ(disk.partitionsText, std::to_string(disk.partitionCount));
  }
  EXPECT_EQ(inventory.disks[0].cylindersText, "9729");
  EXPECT_EQ(inventory.disks[0].headsText, "255");
  EXPECT_EQ(inventory.disks[0].sectorsText, "156296385");

  // A partition without a file system (sda2's LVM member, sdc1 that nothing recognised) counts
  // for its disk with no drive; sdb's file system on the whole device is its one partition.
  const std::vector<std::pair<std::string, uint32_t>> partitions = {{"Disk #0, Partition #0 (512.00 MB))", 1},
                                                                    {"Disk #0, Partition #1 (1000.00 MB))", 0},
                                                                    {"Disk #1, Partition #0 (1.00 GB)", 1},
                                                                    {"Disk #2, Partition #0 (14.84 GB)", 0}};
  ASSERT_EQ(inventory.partitions.size(), partitions.size());
  for (size_t j = 0; j < partitions.size(); ++j) {
    EXPECT_EQ(inventory.partitions[j].label, partitions[j].first);
    EXPECT_EQ(inventory.partitions[j].logicalDriveCount, partitions[j].second);
  }
  EXPECT_EQ(inventory.partitions[2].devicePath, "/dev/sdb");

  // label, file system, volume name, serial, free space, block size, drive type
  const std::vector<std::vector<std::string>> drives = {
      {"/dev/sda1 (512.00 MB))", "NTFS", "System", "89ABCDEF", "N/A", "N/A", "3"},
      {"/dev/sdb (1.00 GB)", "FAT", "MY STICK", "0BADF00D", "N/A", "N/A", "2"}};
  ASSERT_EQ(inventory.logicalDrives.size(), drives.size());
  for (size_t k = 0; k < drives.size(); ++k) {
    const LogicalDriveRecord& drive = inventory.logicalDrives[k];
    EXPECT_EQ((std::vector<std::string>{drive.label, drive.fileSystem, drive.volumeName, drive.volumeSerialNumber,
                                        drive.freeSpace, drive.blockSize, std::to_string(drive.driveType)}),
              drives[k]);
  }
}

TEST(DriveInventory, MountedDriveGetsFreeSpaceAndKeepsNumbersWhenFiltered) {
  // A mount point with a blank, written "\040" as the mount table does, and a FUSE mount found
  // by its source rather than its device number.
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "restora drives mount";
  std::filesystem::create_directories(folder);
  std::string escaped = folder.string();
  escaped.replace(escaped.find(' '), 1, "\\040");
  escaped.replace(escaped.find(' '), 1, "\\040");
  const std::string mountInfo = (folder / "mountinfo").string();
  std::ofstream(mountInfo) << "36 25 0:5 / /proc rw - proc proc rw\n"
                           << "40 25 0:52 / " << escaped << " rw,nosuid - fuseblk /dev/sda1 rw\n";
  InventorySources sources = FixtureSources(mountInfo);
  sources.onlyDisks = {"/dev/sda"};
  DriveInventory inventory;
  ASSERT_EQ(EnumerateDrives(sources, inventory, nullptr), 1);
  std::filesystem::remove_all(folder);

  ASSERT_EQ(inventory.disks.size(), 1u);
  EXPECT_EQ(inventory.disks[0].label, "Disk # 0 (74.53 GB)");
  ASSERT_EQ(inventory.logicalDrives.size(), 1u);
  EXPECT_EQ(inventory.logicalDrives[0].mountPoint, folder.string());
  EXPECT_NE(inventory.logicalDrives[0].freeSpace, "N/A");
  EXPECT_NE(inventory.logicalDrives[0].blockSize, "N/A");
}

TEST(DriveInventory, UnreadableSysfsFails) {
  InventorySources sources;
  sources.sysRoot = "/nonexistent";
  DriveInventory inventory;
  std::string error;
  EXPECT_EQ(EnumerateDrives(sources, inventory, &error), 0);
  EXPECT_NE(error.find("/nonexistent/class/block"), std::string::npos) << error;
  EXPECT_TRUE(inventory.disks.empty());
}

TEST(DriveLabels, SizeRule) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"Disk # 0", "80026361856", "Disk # 0 (74.53 GB)"},
      {"Disk #1, Partition #0", "536870912", "Disk #1, Partition #0 (512.00 MB))"},
      {"X", "1073741824", "X (1.00 GB)"},
      {"X", "1073741800", "X (1.00 GB)"},  // single precision rounds it up to 1 GiB
      {"X", "1073741696", "X (1024.00 MB))"},
      {"X", "", "X (0.00 MB))"},
      {"X", "junk", "X (0.00 MB))"}};
  for (const auto& [name, size, label] : cases) EXPECT_EQ(SizeLabel(name, size), label) << size;
  EXPECT_EQ(ShortSizeText(4096), "0.00 MB");
  EXPECT_EQ(ShortSizeText(5ULL << 30), "5.00 GB");
}

TEST(DriveLabels, DecodeDiskSerial) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"4757", "WG"},
      {"", ""},
      {"2020", ""},                      // trimmed away entirely
      {"3432", "24"},                    // swapped to "3234": its ends are not trimmed
      {"5A4D", "MZ"},                    // upper-case hexadecimal digits
      {"6162", ""},                      // lower-case letters are dropped
      {"4757415", "WGAP"},               // the incomplete group stays; the odd digit pairs with 0
      {"2020202057474D5A", "GWZM"},      // blanks written as "20" fall away at the ends
      {"4g4k", "D"},                     // letters past f count 16 and more: only their low bits stay
  };
  for (const auto& [text, serial] : cases) EXPECT_EQ(DecodeDiskSerial(text), serial) << text;
}

}  // namespace
}  // namespace restora
