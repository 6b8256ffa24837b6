// SPDX-License-Identifier: GPL-3.0-or-later
// Recognition of FAT16, FAT32 and NTFS boot sectors and the VolumeInfo they yield.
#include <cstring>

#include "ByteReader.h"
#include "VolumeAccess.h"

namespace restora {

namespace {

bool HasBootMark(Bytes s) { return LoadU8(s, 510) == 0x55 && LoadU8(s, 511) == 0xAA; }

bool TextAt(Bytes s, size_t offset, const char* text) {
  const size_t length = std::strlen(text);
  return Fits(s, offset, length) && std::memcmp(s.data() + offset, text, length) == 0;
}

bool IsFat16(Bytes s) {
  return HasBootMark(s) && LoadU8(s, 0x15) == 0xF8 && LoadU8(s, 0x26) == 0x29 && LoadU16(s, 0x0B) == 512 &&
         TextAt(s, 0x36, "FAT16");
}

bool IsFat32(Bytes s) {
  return HasBootMark(s) && LoadU16(s, 0x0E) != 1 && LoadU16(s, 0x0B) == 512 && TextAt(s, 0x52, "FAT32");
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
// a negative power of two in bytes. The result is in sectors, kept to 8 bits.
uint8_t NtfsUnitSectors(int8_t value, uint8_t sectorsPerCluster) {
  if (value >= 0) return static_cast<uint8_t>(value * sectorsPerCluster);
  const int shift = -static_cast<int>(value);  // the unit is 2^shift bytes
  if (shift < 9 || shift - 9 >= 8) return 0;   // under one sector, or no longer fits 8 bits
  return static_cast<uint8_t>(1u << (shift - 9));
}

void FillFat(VolumeInfo& info, Bytes s, SourceKind kind, uint32_t sectorsPerFat, uint64_t totalSectors) {
  const uint16_t reserved = LoadU16(s, 0x0E);
  info.kind = kind;
  info.totalSectors = totalSectors;
  info.fatEntryCount = uint64_t{sectorsPerFat} * (kind == SourceKind::Fat16 ? 256 : 128);
  info.fat1Sector = reserved + info.startSector;
  info.fat2Sector = reserved + uint64_t{sectorsPerFat} + info.startSector;
  info.clusterBaseSector = 2 * uint64_t{sectorsPerFat} + reserved;
  info.sectorsPerFat = static_cast<uint16_t>(sectorsPerFat);
  info.fatKind = kind == SourceKind::Fat16 ? 1 : 2;
  info.fatSectorsPerCluster = LoadU8(s, 0x0D);
}

}  // namespace

int RecognizeBootSectorBytes(VolumeInfo& info, std::span<const uint8_t> sector) {
  const Bytes s(sector);
  if (IsFat16(s)) {
    // The 16-bit total is 0 on volumes of 65536 sectors or more; the 32-bit field holds it then.
    const uint16_t total16 = LoadU16(s, 0x13);
    FillFat(info, s, SourceKind::Fat16, LoadU16(s, 0x16), total16 != 0 ? total16 : LoadU32(s, 0x20));
    return 1;
  }
  if (IsFat32(s)) {
    FillFat(info, s, SourceKind::Fat32, LoadU32(s, 0x24), LoadU32(s, 0x20));
    return 1;
  }
  if (IsNtfs(s)) {
    const uint8_t sectorsPerCluster = LoadU8(s, 0x0D);
    info.kind = SourceKind::Ntfs;
    info.totalSectors = LoadU64(s, 0x28);
    info.mftCluster = LoadU64(s, 0x30);
    info.mftMirrorCluster = LoadU64(s, 0x38);
    info.serialNumber = LoadU64(s, 0x48);
    info.ntfsSectorsPerCluster = sectorsPerCluster;
    info.sectorsPerRecord = NtfsUnitSectors(static_cast<int8_t>(LoadU8(s, 0x40)), sectorsPerCluster);
    info.sectorsPerIndexBuffer = NtfsUnitSectors(static_cast<int8_t>(LoadU8(s, 0x44)), sectorsPerCluster);
    return 1;
  }
  return 0;
}

}  // namespace restora
