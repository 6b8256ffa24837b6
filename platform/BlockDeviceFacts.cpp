// SPDX-License-Identifier: GPL-3.0-or-later
// udev's database, libblkid probes and the mount table for the drive inventory.
#include "BlockDeviceFacts.h"

#include <blkid/blkid.h>
#include <sys/statvfs.h>

#include <fstream>
#include <sstream>

namespace restora {

namespace {

// Mount points in mountinfo write blanks, tabs, newlines and backslashes as octal escapes.
std::string UnescapeOctal(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::map<std::string, std::string> ReadUdevProperties(const std::string& dataRoot, unsigned major, unsigned minor) {
  std::map<std::string, std::string> properties;
  std::ifstream file(dataRoot + "/b" + std::to_string(major) + ":" + std::to_string(minor));
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("E:", 0) != 0) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
  }
  return properties;
}

bool ProbeFileSystem(const std::string& devicePath, std::map<std::string, std::string>& properties) {
  // libblkid opens the device read-only.
  blkid_probe probe = blkid_new_probe_from_filename(devicePath.c_str());
  if (probe == nullptr) return false;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE |
                                               BLKID_SUBLKS_USAGE | BLKID_SUBLKS_VERSION | BLKID_SUBLKS_SECTYPE);
  bool found = false;
  if (blkid_do_safeprobe(probe) == 0) {
    const struct { const char* tag; const char* key; } kTags[] = {
        {"TYPE", "ID_FS_TYPE"}, {"VERSION", "ID_FS_VERSION"}, {"LABEL", "ID_FS_LABEL"},
        {"UUID", "ID_FS_UUID"}, {"USAGE", "ID_FS_USAGE"},     {"SEC_TYPE", "ID_FS_SEC_TYPE"}};
    for (const auto& tag : kTags) {
      const char* value = nullptr;
      if (blkid_probe_lookup_value(probe, tag.tag, &value, nullptr) == 0 && value != nullptr) {
        properties[tag.key] = value;
        found = true;
      }
    }
  }
  blkid_free_probe(probe);
  return found;
}

MountFacts FindMount(const std::string& mountInfoPath, unsigned major, unsigned minor, const std::string& devicePath) {
  MountFacts facts;
  std::ifstream file(mountInfoPath);
  const std::string wanted = std::to_string(major) + ":" + std::to_string(minor);
  std::string line;
  while (std::getline(file, line)) {
    // mount id, parent id, major:minor, root, mount point, options…, "-", type, source, …
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint;
    if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
    // A FUSE mount (ntfs-3g) has a device number of its own; its source names the device.
    const size_t separator = line.find(" - ");
    std::string type, source;
    if (separator != std::string::npos) std::istringstream(line.substr(separator + 3)) >> type >> source;
    if (device != wanted && UnescapeOctal(source) != devicePath) continue;
    facts.mountPoint = UnescapeOctal(mountPoint);
    struct statvfs stats {};
    if (statvfs(facts.mountPoint.c_str(), &stats) == 0) {
      facts.freeBytes = static_cast<uint64_t>(stats.f_bfree) * stats.f_frsize;
      facts.blockBytes = stats.f_bsize;
      facts.measured = true;
    }
    break;
  }
  return facts;
}

}  // namespace restora
