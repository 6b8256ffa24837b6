// SPDX-License-Identifier: GPL-3.0-or-later
// What Linux knows about one block device beyond sysfs: udev's database entry, a libblkid probe
// of its file system, and its mount in the mount table.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace restora {

// The "E:KEY=value" properties of udev's entry for the device major:minor under dataRoot
// (normally /run/udev/data); empty when udev has no entry.
std::map<std::string, std::string> ReadUdevProperties(const std::string& dataRoot, unsigned major, unsigned minor);

// The file system on a device as udev names it (ID_FS_TYPE, ID_FS_VERSION, ID_FS_LABEL,
// ID_FS_UUID, ID_FS_USAGE), probed read-only with libblkid. Returns false when the device
// cannot be opened or holds nothing libblkid recognises.
bool ProbeFileSystem(const std::string& devicePath, std::map<std::string, std::string>& properties);

struct MountFacts {
  std::string mountPoint;    // empty when not mounted
  uint64_t freeBytes = 0;    // from statvfs of the mount point
  uint64_t blockBytes = 0;
  bool measured = false;     // statvfs answered
};

// The first mount of major:minor, or of a FUSE file system whose source is devicePath, in a
// mountinfo table (normally /proc/self/mountinfo), with its free space when the mount point
// answers statvfs.
MountFacts FindMount(const std::string& mountInfoPath, unsigned major, unsigned minor, const std::string& devicePath);

}  // namespace restora
