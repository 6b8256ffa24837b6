// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli drives: the disks, their partitions and the volumes on them, as the wizard lists
// them.
#include <filesystem>
#include <string>
#include <system_error>

#include "CliSupport.h"
#include "DriveInventory.h"

namespace restora::cli {

namespace {

void PrintJson(const DriveInventory& inventory) {
  std::printf("{\"disks\":[");
  size_t partition = 0;
  size_t drive = 0;
  for (size_t i = 0; i < inventory.disks.size(); ++i) {
    const DiskRecord& disk = inventory.disks[i];
    std::printf("%s{\"label\":%s,\"device\":%s,\"size\":%s,\"model\":%s,\"serial\":%s,\"interface\":%s,"
                "\"media\":%s,\"cylinders\":%s,\"heads\":%s,\"sectors\":%s,\"partitions\":[",
                i == 0 ? "" : ",", JsonString(disk.label).c_str(), JsonString(disk.devicePath).c_str(),
                disk.rawSize.c_str(), JsonString(disk.model).c_str(), JsonString(disk.serialText).c_str(),
                JsonString(disk.interfaceType).c_str(), JsonString(disk.mediaType).c_str(), disk.cylindersText.c_str(),
                disk.headsText.c_str(), disk.sectorsText.c_str());
    for (uint32_t p = 0; p < disk.partitionCount && partition < inventory.partitions.size(); ++p, ++partition) {
      const PartitionRecord& part = inventory.partitions[partition];
      std::printf("%s{\"label\":%s,\"device\":%s,\"size\":%s,\"drives\":[", p == 0 ? "" : ",",
                  JsonString(part.label).c_str(), JsonString(part.devicePath).c_str(), part.rawSize.c_str());
      for (uint32_t d = 0; d < part.logicalDriveCount && drive < inventory.logicalDrives.size(); ++d, ++drive) {
        const LogicalDriveRecord& volume = inventory.logicalDrives[drive];
        std::printf("%s{\"label\":%s,\"device\":%s,\"size\":%s,\"fileSystem\":%s,\"volumeName\":%s,\"serial\":%s,"
                    "\"freeSpace\":%s,\"blockSize\":%s,\"driveType\":%u,\"mountPoint\":%s}",
                    d == 0 ? "" : ",", JsonString(volume.label).c_str(), JsonString(volume.devicePath).c_str(),
                    volume.rawSize.c_str(), JsonString(volume.fileSystem).c_str(),
                    JsonString(volume.volumeName).c_str(), JsonString(volume.volumeSerialNumber).c_str(),
                    JsonString(volume.freeSpace).c_str(), JsonString(volume.blockSize).c_str(), volume.driveType,
                    JsonString(volume.mountPoint).c_str());
      }
      std::printf("]}");
    }
    std::printf("]}");
  }
  std::printf("]}\n");
}

void PrintText(const DriveInventory& inventory) {
  size_t partition = 0;
  size_t drive = 0;
  for (const DiskRecord& disk : inventory.disks) {
    std::printf("%s  %s  [%s]  %s, %s, serial %s\n", disk.label.c_str(), disk.devicePath.c_str(), disk.model.c_str(),
                disk.interfaceType.c_str(), disk.mediaType.c_str(), disk.serialText.c_str());
    for (uint32_t p = 0; p < disk.partitionCount && partition < inventory.partitions.size(); ++p, ++partition) {
      const PartitionRecord& part = inventory.partitions[partition];
      std::printf("  %s  %s\n", part.label.c_str(), part.devicePath.c_str());
      for (uint32_t d = 0; d < part.logicalDriveCount && drive < inventory.logicalDrives.size(); ++d, ++drive) {
        const LogicalDriveRecord& volume = inventory.logicalDrives[drive];
        std::printf("    %s  %s \"%s\" serial %s, free %s, block %s%s%s\n", volume.label.c_str(),
                    volume.fileSystem.c_str(), volume.volumeName.c_str(), volume.volumeSerialNumber.c_str(),
                    volume.freeSpace.c_str(), volume.blockSize.c_str(), volume.mountPoint.empty() ? "" : ", on ",
                    volume.mountPoint.c_str());
      }
    }
  }
}

}  // namespace

int RunDrives(const Args& args) {
  ArgScanner scanner(args);
  const bool json = scanner.Flag("--json");
  InventorySources sources;
  for (const std::string& disk : scanner.Values("--disk")) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(disk, error);
    sources.onlyDisks.push_back(error ? disk : real.string());
  }
  if (const auto root = scanner.Value("--sys-root")) sources.sysRoot = *root;
  if (const auto root = scanner.Value("--udev-root")) sources.udevDataRoot = *root;
  if (const auto path = scanner.Value("--mountinfo")) sources.mountInfoPath = *path;
  if (!scanner.UnknownOption().empty()) return Fail("drives: unknown option " + scanner.UnknownOption());
  if (!scanner.Positionals().empty()) return Fail("usage: restora-cli drives [--json] [--disk DEVICE ...]");

  DriveInventory inventory;
  std::string error;
  if (!EnumerateDrives(sources, inventory, &error)) return Fail(error);
  if (json) PrintJson(inventory);
  else PrintText(inventory);
  return kExitOk;
}

}  // namespace restora::cli
