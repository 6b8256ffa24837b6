// SPDX-License-Identifier: GPL-3.0-or-later
// Refusing output files that would land on the source being read.
#include "OutputGuard.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace restora::cli {

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

}  // namespace restora::cli
