// SPDX-License-Identifier: GPL-3.0-or-later
// Recognition of FAT16, FAT32 and NTFS boot sectors and the VolumeInfo they yield. Volumes with
// logical sectors of 512 to 4096 bytes are described in units of 512 bytes.
#include <cstring>
#include <string>

#include "ByteReader.h"
#include "VolumeAccess.h"

namespace restora {

namespace {

constexpr uint64_t kMaxUnitsPerCluster = 255;  // the 8-bit sectors-per-cluster fields

bool HasBootMark(Bytes s) { return LoadU8(s, 510) == 0x55 && LoadU8(s, 511) == 0xAA; }

bool TextAt(Bytes s, size_t offset, const char* text) {
  const size_t length = std::strlen(text);
  return Fits(s, offset, length) && std::memcmp(s.data() + offset, text, length) == 0;
}

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Logical sector sizes a volume may declare: 512, 1024, 2048 or 4096 bytes.
bool IsSectorSize(uint16_t bytes) { return bytes >= 512 && bytes <= 4096 && IsPowerOfTwo(bytes); }

bool IsFat16(Bytes s) {
  return HasBootMark(s) && LoadU8(s, 0x15) == 0xF8 && LoadU8(s, 0x26) == 0x29 && IsSectorSize(LoadU16(s, 0x0B)) &&
         TextAt(s, 0x36, "FAT16");
}

bool IsFat32(Bytes s) {
  return HasBootMark(s) && LoadU16(s, 0x0E) != 1 && IsSectorSize(LoadU16(s, 0x0B)) && TextAt(s, 0x52, "FAT32");
}

bool IsUsableNtfsNumber(uint64_t value) { return value != 0 && value != ~uint64_t{0}; }

bool IsNtfs(Bytes s) {
  const uint8_t sectorsPerCluster = LoadU8(s, 0x0D);
  return LoadU8(s, 0) == 0xEB && LoadU8(s, 0x0B) == 0 && HasBootMark(s) && sectorsPerCluster >= 1 &&
         sectorsPerCluster <= 32 && IsUsableNtfsNumber(LoadU64(s, 0x28)) && IsUsableNtfsNumber(LoadU64(s, 0x30)) &&
         IsUsableNtfsNumber(LoadU64(s, 0x38)) && LoadU8(s, 0x13) == 0 && LoadU8(s, 0x14) == 0 &&
         LoadU8(s, 0x16) == 0 && LoadU8(s, 0x17) == 0 && LoadU32(s, 0x20) == 0 && LoadU32(s, 0x24) == 0x00800080 &&
         LoadU8(s, 0x41) == 0 && LoadU8(s, 0x42) == 0 && LoadU8(s, 0x43) == 0 && LoadU8(s, 0x45) == 0 &&
         LoadU8(s, 0x46) == 0 && LoadU8(s, 0x47) == 0;
}

// Clusters per record (or per index buffer) as a signed byte: a positive count of clusters, or
// a negative power of two in bytes. The result is in 512-byte units, kept to 8 bits.
uint8_t NtfsUnitSectors(int8_t value, uint64_t unitsPerCluster) {
  if (value >= 0) return static_cast<uint8_t>(value * unitsPerCluster);
  const int shift = -static_cast<int>(value);  // the unit is 2^shift bytes
  if (shift < 9 || shift - 9 >= 8) return 0;   // under 512 bytes, or no longer fits 8 bits
  return static_cast<uint8_t>(1u << (shift - 9));
}

// The layout a FAT boot sector declares, in the volume's own sectors, checked for sense.
struct FatLayout {
  uint64_t unit = 1;  // 512-byte units per volume sector
  uint64_t reserved = 0, fats = 0, fatSectors = 0, rootSectors = 0, total = 0, perCluster = 0;
  uint64_t rootStart = 0, dataStart = 0;
  uint32_t rootCluster = 0;
};

// Reads and checks the layout; returns the reason when the values cannot describe a volume.
std::string ReadFatLayout(Bytes s, bool fat16, FatLayout& l) {
  const uint16_t sectorBytes = LoadU16(s, 0x0B);
  l.unit = sectorBytes / kSectorSize;
  l.reserved = LoadU16(s, 0x0E);
  l.fats = LoadU8(s, 0x10);
  l.fatSectors = fat16 ? LoadU16(s, 0x16) : LoadU32(s, 0x24);
  const uint16_t total16 = LoadU16(s, 0x13);
  // The 16-bit total is 0 on volumes of 65536 sectors or more; the 32-bit field holds it then.
  l.total = fat16 && total16 != 0 ? total16 : LoadU32(s, 0x20);
  l.perCluster = LoadU8(s, 0x0D);
  const uint64_t rootEntries = fat16 ? LoadU16(s, 0x11) : 0;
  l.rootSectors = (rootEntries * 32 + sectorBytes - 1) / sectorBytes;
  l.rootStart = l.reserved + l.fats * l.fatSectors;
  l.dataStart = l.rootStart + l.rootSectors;
  l.rootCluster = fat16 ? 0 : LoadU32(s, 0x2C);

  if (!IsPowerOfTwo(l.perCluster)) return "its sectors per cluster is not a power of two";
  if (l.perCluster * l.unit > kMaxUnitsPerCluster) return "its clusters are larger than 127 KiB";
  if (l.reserved == 0) return "it has no reserved sectors";
  if (l.fats == 0 || l.fatSectors == 0) return "it has no FAT";
  if (fat16 && rootEntries == 0) return "its root folder has no entries";
  if (l.dataStart >= l.total) return "its FATs and root folder reach past the volume's end";
  const uint64_t clusters = (l.total - l.dataStart) / l.perCluster;
  if (clusters == 0) return "it has no room for a cluster";
  if (!fat16 && (l.rootCluster < 2 || l.rootCluster - 2 >= clusters)) {
    return "its root folder's cluster " + std::to_string(l.rootCluster) + " is not on the volume";
  }
  // The FAT16 stored form places clusters 32 sectors past clusterBaseSector.
  if (fat16 && l.dataStart * l.unit < 32) return "its data area starts before sector 32";
  return {};
}

void FillFat(VolumeInfo& info, const FatLayout& l, SourceKind kind) {
  const bool fat16 = kind == SourceKind::Fat16;
  const uint64_t fatUnits = l.fatSectors * l.unit;
  info.kind = kind;
  info.totalSectors = l.total * l.unit;
  info.fatEntryCount = fatUnits * (fat16 ? 256 : 128);
  info.fat1Sector = l.reserved * l.unit + info.startSector;
  info.fat2Sector = (l.reserved + l.fatSectors) * l.unit + info.startSector;
  info.clusterBaseSector = l.dataStart * l.unit - (fat16 ? 32 : 0);
  info.sectorsPerFat = static_cast<uint16_t>(fatUnits);
  info.fatKind = fat16 ? 1 : 2;
  info.fatSectorsPerCluster = static_cast<uint8_t>(l.perCluster * l.unit);
  info.rootAreaSector = fat16 ? l.rootStart * l.unit : 0;
  info.rootAreaSectors = fat16 ? static_cast<uint32_t>(l.rootSectors * l.unit) : 0;
  info.rootCluster = fat16 ? 0 : l.rootCluster;
}

int RecognizeFat(VolumeInfo& info, Bytes s, SourceKind kind, std::string* refusal) {
  FatLayout layout;
  const std::string why = ReadFatLayout(s, kind == SourceKind::Fat16, layout);
  if (!why.empty()) {
    if (refusal != nullptr) {
      *refusal = std::string(kind == SourceKind::Fat16 ? "FAT16" : "FAT32") +
                 " boot sector that cannot describe a volume: " + why;
    }
    return 0;
  }
  FillFat(info, layout, kind);
  return 1;
}

}  // namespace

int RecognizeBootSectorBytes(VolumeInfo& info, std::span<const uint8_t> sector, std::string* refusal) {
  const Bytes s(sector);
  if (IsFat16(s)) return RecognizeFat(info, s, SourceKind::Fat16, refusal);
  if (IsFat32(s)) return RecognizeFat(info, s, SourceKind::Fat32, refusal);
  if (IsNtfs(s)) {
    const uint16_t sectorBytes = LoadU16(s, 0x0B);
    const uint64_t unitsPerCluster = uint64_t{LoadU8(s, 0x0D)} * (sectorBytes / kSectorSize);
    if (!IsSectorSize(sectorBytes) || unitsPerCluster > kMaxUnitsPerCluster) {
      if (refusal != nullptr) {
        *refusal = "NTFS boot sector that cannot describe a volume: " +
                   std::string(IsSectorSize(sectorBytes) ? "its clusters are larger than 127 KiB"
                                                         : "its sector size is not 512, 1024, 2048 or 4096 bytes");
      }
      return 0;
    }
    uint64_t total = 0;
    if (!CheckedMul(LoadU64(s, 0x28), sectorBytes / kSectorSize, total)) return 0;
    info.kind = SourceKind::Ntfs;
    info.totalSectors = total;
    info.mftCluster = LoadU64(s, 0x30);
    info.mftMirrorCluster = LoadU64(s, 0x38);
    info.serialNumber = LoadU64(s, 0x48);
    info.ntfsSectorsPerCluster = static_cast<uint8_t>(unitsPerCluster);
    info.sectorsPerRecord = NtfsUnitSectors(static_cast<int8_t>(LoadU8(s, 0x40)), unitsPerCluster);
    info.sectorsPerIndexBuffer = NtfsUnitSectors(static_cast<int8_t>(LoadU8(s, 0x44)), unitsPerCluster);
    return 1;
  }
  return 0;
}

}  // namespace restora
