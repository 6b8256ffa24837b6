// SPDX-License-Identifier: GPL-3.0-or-later
// The drive inventory on a fixture machine (sysfs and udev trees), and its display texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DriveInventory.h"

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
  InventorySources unreadable;
  unreadable.sysRoot = "/nonexistent";
  DriveInventory none;
  EXPECT_EQ(EnumerateDrives(unreadable, none, &error), 0);
  EXPECT_NE(error.find("/nonexistent/class/block"), std::string::npos) << error;

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
  }
  EXPECT_EQ(inventory.disks[0].cylindersText + "/" + inventory.disks[0].headsText, "9729/255");

  // A partition without a file system (sda2's LVM member, sdc1 that nothing recognised) counts
  // for its disk with no drive; sdb's file system on the whole device is its one partition.
  std::vector<std::string> partitions;
  for (const auto& partition : inventory.partitions) {
    partitions.push_back(partition.label + " " + std::to_string(partition.logicalDriveCount));
  }
  EXPECT_EQ(partitions, (std::vector<std::string>{"Disk #0, Partition #0 (512.00 MB)) 1", "Disk #0, Partition #1 (1000.00 MB)) 0",
                                                  "Disk #1, Partition #0 (1.00 GB) 1", "Disk #2, Partition #0 (14.84 GB) 0"}));
  ASSERT_EQ(inventory.partitions.size(), 4u);
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

}  // namespace
}  // namespace restora
