// SPDX-License-Identifier: GPL-3.0-or-later
// Output and destination checks against the source being read.
#include "SourceGuard.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "DeviceOverlap.h"
#include "PosixDestination.h"

namespace restora {

namespace {

// The whole disk a partition's device number belongs to, from sysfs; the number itself when it
// is not a partition.
dev_t ContainingDisk(dev_t device) {
  const std::string base = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::error_code ec;
  if (!std::filesystem::exists(base + "/partition", ec)) return device;
  std::ifstream parent(base + "/../dev");
  unsigned int parentMajor = 0;
  unsigned int parentMinor = 0;
  char colon = 0;
  if (parent >> parentMajor >> colon >> parentMinor && colon == ':') return makedev(parentMajor, parentMinor);
  return device;
}

}  // namespace

std::string WhyOutputTouchesSource(const std::string& source, const std::string& out) {
  struct stat sourceInfo {};
  if (::stat(source.c_str(), &sourceInfo) != 0) return {};
  struct stat outInfo {};
  const bool outExists = ::stat(out.c_str(), &outInfo) == 0;
  if (outExists && outInfo.st_dev == sourceInfo.st_dev && outInfo.st_ino == sourceInfo.st_ino) {
    return "the file " + out + " is the source itself";
  }
  if (!S_ISBLK(sourceInfo.st_mode)) return {};
  std::filesystem::path folder = std::filesystem::absolute(out).parent_path();
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) return {};
  if (folderInfo.st_dev == sourceInfo.st_rdev || ContainingDisk(folderInfo.st_dev) == sourceInfo.st_rdev) {
    return "the file " + out + " would be written onto the source " + source;
  }
  return {};
}

std::string WhyDestinationTouchesSource(const std::string& source, const std::string& folder) {
  std::string reason;
  if (DestinationOnSourceDevice(source, folder, &reason)) return reason;
  return {};
}

void ProtectIfFile(PosixDestination& destination, const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) destination.ProtectFile(info.st_dev, info.st_ino);
}

bool SameVolume(const VolumeInfo& a, const VolumeInfo& b) {
  if (a.kind != b.kind || a.totalSectors != b.totalSectors) return false;
  if (a.kind == SourceKind::Ntfs) {
    return a.mftCluster == b.mftCluster && a.ntfsSectorsPerCluster == b.ntfsSectorsPerCluster &&
           a.sectorsPerRecord == b.sectorsPerRecord;
  }
  if (a.kind == SourceKind::Fat16 || a.kind == SourceKind::Fat32) {
    return a.clusterBaseSector == b.clusterBaseSector && a.fat1Sector == b.fat1Sector &&
           a.fatSectorsPerCluster == b.fatSectorsPerCluster;
  }
  return true;
}

const char* SourceKindText(SourceKind kind) {
  switch (kind) {
    case SourceKind::Disk: return "whole-disk";
    case SourceKind::Fat16: return "FAT16";
    case SourceKind::Fat32: return "FAT32";
    case SourceKind::Ntfs: return "NTFS";
  }
  return "unknown";
}

}  // namespace restora
