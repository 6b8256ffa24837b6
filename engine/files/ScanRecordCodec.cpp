// SPDX-License-Identifier: GPL-3.0-or-later
// Byte layouts of the volume description and of scan nodes.
#include "ScanRecordCodec.h"

namespace restora {

namespace {

uint32_t Token(bool set) { return set ? 1u : 0u; }

}  // namespace

std::array<uint8_t, kVolumeInfoSize> SerializeVolumeInfo(const VolumeInfo& info) {
  std::array<uint8_t, kVolumeInfoSize> out{};
  MutableBytes b(out);
  StoreU8(b, 0, static_cast<uint8_t>(info.kind));
  StoreU64(b, 9, info.startSector);
  StoreU64(b, 17, info.totalSectors);
  if (UsesNtfsLayout(info.kind)) {
    StoreU64(b, 25, info.mftCluster);
    StoreU64(b, 33, info.mftMirrorCluster);
    StoreU64(b, 41, info.serialNumber);
    StoreU32(b, 49, info.nodeCounter);
    StoreU8(b, 53, info.sectorsPerRecord);
    StoreU8(b, 54, info.sectorsPerIndexBuffer);
    StoreU8(b, 55, info.ntfsSectorsPerCluster);
  } else {
    StoreU64(b, 25, info.fatEntryCount);
    StoreU64(b, 33, info.fat1Sector);
    StoreU64(b, 41, info.fat2Sector);
    StoreU64(b, 49, info.clusterBaseSector);
    StoreU32(b, 57, info.fatNodeCounter);
    StoreU16(b, 61, info.sectorsPerFat);
    StoreU8(b, 63, info.fatKind);
    StoreU8(b, 64, info.fatSectorsPerCluster);
  }
  return out;
}

VolumeInfo ParseVolumeInfo(Bytes b) {
  VolumeInfo info;
  info.kind = static_cast<SourceKind>(LoadU8(b, 0));
  info.startSector = LoadU64(b, 9);
  info.totalSectors = LoadU64(b, 17);
  if (UsesNtfsLayout(info.kind)) {
    info.mftCluster = LoadU64(b, 25);
    info.mftMirrorCluster = LoadU64(b, 33);
    info.serialNumber = LoadU64(b, 41);
    info.nodeCounter = LoadU32(b, 49);
    info.sectorsPerRecord = LoadU8(b, 53);
    info.sectorsPerIndexBuffer = LoadU8(b, 54);
    info.ntfsSectorsPerCluster = LoadU8(b, 55);
  } else {
    info.fatEntryCount = LoadU64(b, 25);
    info.fat1Sector = LoadU64(b, 33);
    info.fat2Sector = LoadU64(b, 41);
    info.clusterBaseSector = LoadU64(b, 49);
    info.fatNodeCounter = LoadU32(b, 57);
    info.sectorsPerFat = LoadU16(b, 61);
    info.fatKind = LoadU8(b, 63);
    info.fatSectorsPerCluster = LoadU8(b, 64);
  }
  return info;
}

std::array<uint8_t, kScanNodeSize> SerializeScanNode(const ScanNode& node, SourceKind kind) {
  std::array<uint8_t, kScanNodeSize> out{};
  MutableBytes b(out);
  StoreU32(b, 0, Token(node.next != nullptr));
  StoreU32(b, 4, Token(node.firstChild != nullptr));
  StoreU32(b, 8, Token(node.parent != nullptr));
  if (UsesNtfsLayout(kind)) {
    StoreU64(b, 12, node.location);
    StoreU64(b, 20, node.created);
    StoreU64(b, 28, node.modified);
    StoreU64(b, 36, node.size);
    StoreU32(b, 44, node.id);
    StoreU32(b, 48, node.parentId);
    StoreU32(b, 52, Token(!node.name.empty()));
    StoreU16(b, 56, node.attributes);
    StoreU8(b, 58, node.status);
    StoreU8(b, 59, static_cast<uint8_t>(node.nameLength));
  } else {
    StoreU64(b, 12, node.size);
    StoreU32(b, 20, node.id);
    StoreU32(b, 24, node.firstCluster);
    StoreU32(b, 28, node.parentId);
    StoreU32(b, 32, Token(!node.name.empty()));
    StoreU16(b, 36, node.nameLength);
    StoreU16(b, 40, node.createdDate);
    StoreU16(b, 44, node.modifiedDate);
    StoreU8(b, 46, node.status);
    StoreU8(b, 47, static_cast<uint8_t>(node.attributes));
  }
  StoreU8(b, 60, node.checked);
  StoreU8(b, 61, node.carveSource);
  return out;
}

StoredLinks ParseScanNode(Bytes b, SourceKind kind, ScanNode& node) {
  StoredLinks links{LoadU32(b, 0) != 0, LoadU32(b, 4) != 0};
  if (UsesNtfsLayout(kind)) {
    node.location = LoadU64(b, 12);
    node.created = LoadU64(b, 20);
    node.modified = LoadU64(b, 28);
    node.size = LoadU64(b, 36);
    node.id = LoadU32(b, 44);
    node.parentId = LoadU32(b, 48);
    node.attributes = LoadU16(b, 56);
    node.status = LoadU8(b, 58);
    node.nameLength = LoadU8(b, 59);
  } else {
    node.size = LoadU64(b, 12);
    node.id = LoadU32(b, 20);
    node.firstCluster = LoadU32(b, 24);
    node.parentId = LoadU32(b, 28);
    node.nameLength = LoadU16(b, 36);
    node.createdDate = LoadU16(b, 40);
    node.modifiedDate = LoadU16(b, 44);
    node.status = LoadU8(b, 46);
    node.attributes = LoadU8(b, 47);
  }
  node.checked = LoadU8(b, 60);
  node.carveSource = LoadU8(b, 61);
  return links;
}

}  // namespace restora
