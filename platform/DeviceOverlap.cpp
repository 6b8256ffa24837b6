// SPDX-License-Identifier: GPL-3.0-or-later
// Device ancestry from sysfs and the mount table.
#include "DeviceOverlap.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace restora {

namespace fs = std::filesystem;

namespace {

// Device stacks are shallow; the bound only guards against a looping fixture or sysfs oddity.
constexpr size_t kMaxDevices = 256;

fs::path DeviceFolder(dev_t device, const std::string& sysRoot) {
  return fs::path(sysRoot) / "dev" / "block" / (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
}

// The "MAJ:MIN" of a sysfs device folder's dev file.
bool ReadDevFile(const fs::path& folder, dev_t& device) {
  std::ifstream in(folder / "dev");
  unsigned majorNumber = 0;
  unsigned minorNumber = 0;
  char colon = 0;
  if (!(in >> majorNumber >> colon >> minorNumber) || colon != ':') return false;
  device = makedev(majorNumber, minorNumber);
  return true;
}

bool Contains(const std::vector<dev_t>& devices, dev_t device) {
  return std::find(devices.begin(), devices.end(), device) != devices.end();
}

// The device named as the source of the mount whose device number is device, when that source
// is a block device ("/dev/sdb1" for a FUSE or btrfs mount whose own number is anonymous).
bool MountSourceDevice(dev_t device, const std::string& mountInfo, dev_t& source) {
  std::ifstream in(mountInfo);
  const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parentId, number;
    if (!(fields >> id >> parentId >> number) || number != wanted) continue;
    const size_t separator = line.find(" - ");
    if (separator == std::string::npos) continue;
    std::istringstream tail(line.substr(separator + 3));
    std::string type, mountSource;
    if (!(tail >> type >> mountSource) || mountSource.empty() || mountSource[0] != '/') continue;
    struct stat info {};
    if (::stat(mountSource.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
      source = info.st_rdev;
      return true;
    }
  }
  return false;
}

// What a loop device reads: its backing file as "device:inode" when the file can be looked at,
// else the path sysfs gives; empty for any other device.
std::string LoopBackingFile(dev_t device, const std::string& sysRoot) {
  std::ifstream in(DeviceFolder(device, sysRoot) / "loop" / "backing_file");
  std::string path;
  if (!std::getline(in, path) || path.empty()) return {};
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  return path;
}

}  // namespace

std::vector<dev_t> UnderlyingDevices(dev_t device, const std::string& sysRoot) {
  std::vector<dev_t> found{device};
  for (size_t next = 0; next < found.size() && found.size() < kMaxDevices; ++next) {
    std::error_code ec;
    const fs::path folder = fs::canonical(DeviceFolder(found[next], sysRoot), ec);
    if (ec) continue;
    dev_t related = 0;
    const bool partition = fs::exists(folder / "partition", ec);
    if (partition && ReadDevFile(folder.parent_path(), related) && !Contains(found, related)) {
      found.push_back(related);
    }
    for (fs::directory_iterator it(folder / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path slave = fs::canonical(it->path(), ec);
      if (!ec && ReadDevFile(slave, related) && !Contains(found, related)) found.push_back(related);
      ec.clear();
    }
  }
  return found;
}

bool DevicesOverlap(dev_t sourceDevice, const std::vector<dev_t>& destinationDevices, const std::string& sysRoot) {
  const std::vector<dev_t> sourceStack = UnderlyingDevices(sourceDevice, sysRoot);
  std::vector<std::string> sourceFiles;
  for (dev_t device : sourceStack) {
    std::string file = LoopBackingFile(device, sysRoot);
    if (!file.empty()) sourceFiles.push_back(std::move(file));
  }
  for (dev_t destination : destinationDevices) {
    const std::vector<dev_t> destinationStack = UnderlyingDevices(destination, sysRoot);
    if (Contains(destinationStack, sourceDevice)) return true;
    if (Contains(sourceStack, destination)) return true;
    // Two loop devices over one file share its blocks, whatever their offsets.
    for (dev_t device : destinationStack) {
      const std::string file = LoopBackingFile(device, sysRoot);
      if (!file.empty() && std::find(sourceFiles.begin(), sourceFiles.end(), file) != sourceFiles.end()) return true;
    }
  }
  return false;
}

int DestinationOnSourceDevice(const std::string& sourcePath, const std::string& folder, std::string* reason,
                              const std::string& sysRoot, const std::string& mountInfo) {
  struct stat source {};
  if (::stat(sourcePath.c_str(), &source) != 0 || !S_ISBLK(source.st_mode)) return 0;
  struct stat target {};
  if (::stat(folder.c_str(), &target) != 0) {
    // A folder still to be made lands on its parent's file system.
    fs::path path = fs::path(folder).lexically_normal();
    if (!path.has_filename()) path = path.parent_path();  // "DIR/" names DIR
    std::string parent = path.parent_path().string();
    if (parent.empty()) parent = ".";
    if (::stat(parent.c_str(), &target) != 0) return 0;  // opening the destination reports this
  }
  std::vector<dev_t> destinationDevices{target.st_dev};
  dev_t mounted = 0;
  if (MountSourceDevice(target.st_dev, mountInfo, mounted) && !Contains(destinationDevices, mounted)) {
    destinationDevices.push_back(mounted);
  }
  if (!DevicesOverlap(source.st_rdev, destinationDevices, sysRoot)) return 0;
  if (reason != nullptr) {
    *reason = "the destination " + folder + " is on the device being recovered from (" + sourcePath +
              "); saving there would overwrite the data being recovered";
  }
  return 1;
}

}  // namespace restora
