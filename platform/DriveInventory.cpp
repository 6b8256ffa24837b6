// SPDX-License-Identifier: GPL-3.0-or-later
// The drive inventory from sysfs, udev's database, the mount table and libblkid.
#include "DriveInventory.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <tuple>
#include <system_error>

#include "BlockDeviceFacts.h"
#include "DriveLabels.h"

namespace restora {

namespace fs = std::filesystem;

namespace {

using Properties = std::map<std::string, std::string>;

constexpr uint64_t kHeads = 255;
constexpr uint64_t kSectorsPerTrack = 63;

std::string ReadLine(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  size_t start = 0;
  while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
  return line.substr(start);
}

uint64_t ReadNumber(const fs::path& path) {
  const std::string text = ReadLine(path);
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
  return std::strtoull(text.c_str(), nullptr, 10);
}

std::string Lookup(const Properties& properties, const std::string& key) {
  const auto it = properties.find(key);
  return it == properties.end() ? std::string() : it->second;
}

// udev writes unsafe characters of its *_ENC values as "\x20".
std::string DecodeUdevEscapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// "sda" < "sdb" < "sdaa"; "loop2" < "loop10"; loop devices after the machine's disks.
bool NameOrder(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string tail = name.substr(digits);
    return std::make_tuple(name.rfind("loop", 0) == 0, name.substr(0, digits).size(), name.substr(0, digits),
                           tail.empty() ? 0ULL : std::stoull(tail.substr(0, 18)));
  };
  return split(a) < split(b);
}

struct BlockDevice {
  std::string name;
  fs::path sysPath;
  unsigned major = 0;
  unsigned minor = 0;
  uint64_t sizeBytes = 0;
};

BlockDevice ReadBlockDevice(const fs::path& sysPath) {
  BlockDevice device;
  device.name = sysPath.filename().string();
  device.sysPath = sysPath;
  const std::string numbers = ReadLine(sysPath / "dev");
  if (std::sscanf(numbers.c_str(), "%u:%u", &device.major, &device.minor) != 2) device.major = device.minor = 0;
  device.sizeBytes = ReadNumber(sysPath / "size") * 512;
  return device;
}

bool IsListedDisk(const BlockDevice& device) {
  for (const char* prefix : {"ram", "zram", "sr", "fd", "dm-", "md"}) {
    if (device.name.rfind(prefix, 0) == 0) return false;
  }
  if (device.name.rfind("loop", 0) == 0 && ReadLine(device.sysPath / "loop" / "backing_file").empty()) return false;
  return device.sizeBytes > 0;
}

// The file-system facts of one device: udev's when it has probed it, our own probe otherwise.
Properties FileSystemFacts(const InventorySources& sources, const BlockDevice& device) {
  Properties properties = ReadUdevProperties(sources.udevDataRoot, device.major, device.minor);
  if (properties.count("ID_FS_TYPE") == 0) ProbeFileSystem(sources.deviceRoot + "/" + device.name, properties);
  return properties;
}

bool HoldsFileSystem(const Properties& properties) {
  const std::string usage = Lookup(properties, "ID_FS_USAGE");
  return !Lookup(properties, "ID_FS_TYPE").empty() && (usage.empty() || usage == "filesystem");
}

std::string FileSystemName(const Properties& properties) {
  const std::string type = Lookup(properties, "ID_FS_TYPE");
  if (type == "vfat") return Lookup(properties, "ID_FS_VERSION") == "FAT32" ? "FAT32" : "FAT";
  if (type == "ntfs") return "NTFS";
  if (type == "exfat") return "exFAT";
  return type;
}

// FAT's serial is written "1A2B-3C4D" and NTFS's as sixteen digits, of which the volume serial
// number is the low eight.
std::string VolumeSerial(const Properties& properties) {
  std::string uuid = Lookup(properties, "ID_FS_UUID");
  const std::string type = Lookup(properties, "ID_FS_TYPE");
  if (type == "vfat" || type == "ntfs") {
    uuid.erase(std::remove(uuid.begin(), uuid.end(), '-'), uuid.end());
    if (type == "ntfs" && uuid.size() > 8) uuid = uuid.substr(uuid.size() - 8);
    for (char& c : uuid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return uuid;
}

std::string VolumeName(const Properties& properties) {
  const std::string encoded = Lookup(properties, "ID_FS_LABEL_ENC");
  return encoded.empty() ? Lookup(properties, "ID_FS_LABEL") : DecodeUdevEscapes(encoded);
}

LogicalDriveRecord MakeDrive(const InventorySources& sources, const BlockDevice& device, const Properties& properties,
                             bool removable) {
  LogicalDriveRecord drive;
  drive.devicePath = "/dev/" + device.name;
  drive.rawSize = std::to_string(device.sizeBytes);
  drive.label = SizeLabel(drive.devicePath, drive.rawSize);
  drive.volumeName = VolumeName(properties);
  drive.volumeSerialNumber = VolumeSerial(properties);
  drive.fileSystem = FileSystemName(properties);
  const MountFacts mount = FindMount(sources.mountInfoPath, device.major, device.minor, drive.devicePath);
  drive.mountPoint = mount.mountPoint;
  drive.freeSpace = mount.measured ? ShortSizeText(mount.freeBytes) : "N/A";
  drive.blockSize = mount.measured ? ShortSizeText(mount.blockBytes) : "N/A";
  drive.driveType = removable ? 2 : 3;
  return drive;
}

std::string InterfaceType(const BlockDevice& disk, const Properties& udev) {
  std::string bus = Lookup(udev, "ID_BUS");
  if (bus.empty()) {
    std::error_code error;
    const std::string where = fs::canonical(disk.sysPath, error).string();
    if (where.find("/usb") != std::string::npos) bus = "usb";
    else if (where.find("/ata") != std::string::npos) bus = "ata";
  }
  if (bus == "ata") return "IDE";
  if (bus == "usb") return "USB";
  return "SCSI";
}

std::string Model(const BlockDevice& disk, const Properties& udev) {
  const std::string encoded = Lookup(udev, "ID_MODEL_ENC");
  if (!encoded.empty()) return Trimmed(DecodeUdevEscapes(encoded));
  if (!Lookup(udev, "ID_MODEL").empty()) return Lookup(udev, "ID_MODEL");
  for (const char* file : {"device/model", "device/name"}) {
    const std::string model = ReadLine(disk.sysPath / file);
    if (!model.empty()) return model;
  }
  const std::string backing = ReadLine(disk.sysPath / "loop" / "backing_file");
  if (!backing.empty()) return "Loop device " + fs::path(backing).filename().string();
  return {};
}

std::string Serial(const BlockDevice& disk, const Properties& udev) {
  std::string serial = Lookup(udev, "ID_SERIAL_SHORT");
  if (serial.empty()) serial = ReadLine(disk.sysPath / "device" / "serial");
  return serial.empty() ? "N/A" : serial;
}

std::vector<BlockDevice> PartitionsOf(const BlockDevice& disk) {
  std::vector<std::pair<uint64_t, BlockDevice>> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(disk.sysPath, error)) {
    if (!fs::exists(entry.path() / "partition", error)) continue;
    found.emplace_back(ReadNumber(entry.path() / "partition"), ReadBlockDevice(entry.path()));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<BlockDevice> partitions;
  for (auto& [number, device] : found) partitions.push_back(std::move(device));
  return partitions;
}

void AddDisk(const InventorySources& sources, const BlockDevice& disk, size_t number, DriveInventory& inventory) {
  const Properties udev = ReadUdevProperties(sources.udevDataRoot, disk.major, disk.minor);
  const bool removable = ReadLine(disk.sysPath / "removable") == "1";

  DiskRecord record;
  record.devicePath = "/dev/" + disk.name;
  record.rawSize = std::to_string(disk.sizeBytes);
  record.label = SizeLabel("Disk # " + std::to_string(number), record.rawSize);
  record.model = Model(disk, udev);
  record.serialText = Serial(disk, udev);
  record.interfaceType = InterfaceType(disk, udev);
  record.mediaType = removable ? "Removable Media" : "Fixed hard disk media";
  const uint64_t cylinders = disk.sizeBytes / (kHeads * kSectorsPerTrack * 512);
  record.cylindersText = std::to_string(cylinders);
  record.headsText = std::to_string(kHeads);
  record.sectorsText = std::to_string(cylinders * kHeads * kSectorsPerTrack);

  std::vector<BlockDevice> partitions = PartitionsOf(disk);
  const bool wholeDiskVolume = partitions.empty() && HoldsFileSystem(FileSystemFacts(sources, disk));
  if (wholeDiskVolume) partitions.push_back(disk);
  for (size_t j = 0; j < partitions.size(); ++j) {
    const BlockDevice& device = partitions[j];
    PartitionRecord partition;
    partition.devicePath = "/dev/" + device.name;
    partition.rawSize = std::to_string(device.sizeBytes);
    partition.label =
        SizeLabel("Disk #" + std::to_string(number) + ", Partition #" + std::to_string(j), partition.rawSize);
    const Properties facts = FileSystemFacts(sources, device);
    if (HoldsFileSystem(facts)) {
      inventory.logicalDrives.push_back(MakeDrive(sources, device, facts, removable));
      partition.logicalDriveCount = 1;
    }
    inventory.partitions.push_back(std::move(partition));
  }
  record.partitionCount = static_cast<uint32_t>(partitions.size());
  record.partitionsText = std::to_string(record.partitionCount);
  inventory.disks.push_back(std::move(record));
}

int EnumerateDrivesOrThrow(const InventorySources& sources, DriveInventory& inventory, std::string* error) {
  inventory = {};
  const fs::path classBlock = fs::path(sources.sysRoot) / "class" / "block";
  std::error_code failure;
  std::vector<BlockDevice> disks;
  for (const fs::directory_entry& entry : fs::directory_iterator(classBlock, failure)) {
    if (fs::exists(entry.path() / "partition")) continue;
    BlockDevice device = ReadBlockDevice(entry.path());
    if (IsListedDisk(device)) disks.push_back(std::move(device));
  }
  if (failure) {
    if (error != nullptr) *error = "cannot read " + classBlock.string() + ": " + failure.message();
    return 0;
  }
  std::sort(disks.begin(), disks.end(), [](const BlockDevice& a, const BlockDevice& b) { return NameOrder(a.name, b.name); });
  for (size_t i = 0; i < disks.size(); ++i) {
    const std::string path = "/dev/" + disks[i].name;
    if (!sources.onlyDisks.empty() &&
        std::find(sources.onlyDisks.begin(), sources.onlyDisks.end(), path) == sources.onlyDisks.end()) {
      continue;
    }
    AddDisk(sources, disks[i], i, inventory);
  }
  return 1;
}

}  // namespace

int EnumerateDrives(const InventorySources& sources, DriveInventory& inventory, std::string* error) {
  // A device that vanishes while sysfs is walked makes the directory walk throw.
  try {
    return EnumerateDrivesOrThrow(sources, inventory, error);
  } catch (const std::exception& failure) {
    inventory = {};
    if (error != nullptr) *error = std::string("cannot list the block devices: ") + failure.what();
    return 0;
  }
}

}  // namespace restora
