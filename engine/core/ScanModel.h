// SPDX-License-Identifier: GPL-3.0-or-later
// The records every engine part shares: the volume description, the found-entry node and the
// extents and cluster links that the scans build. Their on-disk (scan file) layouts live in
// ScanRecordCodec.h; in memory they are plain C++ records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace restora {

constexpr uint64_t kSectorSize = 512;

// First byte of VolumeInfo: how the rest of it, and every node, is to be read.
enum class SourceKind : uint8_t { Disk = 0, Fat16 = 1, Fat32 = 2, Ntfs = 3 };

// The kind's name as the command line and the JSON listing print it.
inline const char* SourceKindName(SourceKind kind) {
  switch (kind) {
    case SourceKind::Disk: return "Disk";
    case SourceKind::Fat16: return "Fat16";
    case SourceKind::Fat32: return "Fat32";
    case SourceKind::Ntfs: return "Ntfs";
  }
  return "Unknown";
}

// Kinds 0 (Disk) and 3 (Ntfs) use the NTFS node layout, kinds 1 and 2 the FAT layout.
inline bool UsesNtfsLayout(SourceKind kind) { return kind == SourceKind::Disk || kind == SourceKind::Ntfs; }

// The current source. Fields from byte 25 on are a union of two layouts in the 69-byte stored
// form; in memory both sets exist and the kind says which one is meaningful.
// Every sector number and count here is in units of 512 bytes, whatever sector size the volume
// itself uses.
struct VolumeInfo {
  SourceKind kind = SourceKind::Disk;
  uint64_t startSector = 0;
  uint64_t totalSectors = 0;

  // FAT layout (kinds 1 and 2).
  uint64_t fatEntryCount = 0;
  uint64_t fat1Sector = 0;
  uint64_t fat2Sector = 0;
  // FAT32: the first sector of cluster 2. FAT16: the sector 32 before it, where the root area
  // starts on volumes with the usual 512 root entries; so cluster positions follow from the
  // stored fields alone, whatever size the volume's root area has.
  uint64_t clusterBaseSector = 0;
  uint32_t fatNodeCounter = 0;
  uint16_t sectorsPerFat = 0;
  uint8_t fatKind = 0;
  uint8_t fatSectorsPerCluster = 0;
  // Read from the boot sector when the source is opened; not part of the stored form (a scan
  // file leaves them 0). FAT16: where the root area lies and how many sectors it takes; 0 sectors
  // stands for the usual 32 at clusterBaseSector. FAT32: the root folder's first cluster.
  uint64_t rootAreaSector = 0;
  uint32_t rootAreaSectors = 0;
  uint32_t rootCluster = 0;

  // NTFS layout (kind 3; a Disk uses only nodeCounter).
  uint64_t mftCluster = 0;
  uint64_t mftMirrorCluster = 0;
  uint64_t serialNumber = 0;
  uint32_t nodeCounter = 0;
  uint8_t sectorsPerRecord = 0;
  uint8_t sectorsPerIndexBuffer = 0;
  uint8_t ntfsSectorsPerCluster = 0;

  // Sectors per cluster of whichever layout the kind selects.
  uint8_t SectorsPerCluster() const { return UsesNtfsLayout(kind) ? ntfsSectorsPerCluster : fatSectorsPerCluster; }
  // The numbering counter of whichever layout the kind selects.
  uint32_t& NodeCounter() { return UsesNtfsLayout(kind) ? nodeCounter : fatNodeCounter; }
};

constexpr size_t kVolumeInfoSize = 69;

// Node status bits; the same values in both layouts.
constexpr uint8_t kStatusLive = 1;    // in use / not marked deleted
constexpr uint8_t kStatusFolder = 2;  // a folder
constexpr uint8_t kStatusLiveFolder = kStatusLive | kStatusFolder;

// Where a found file came from: a directory scan, or the signature search on a disk or volume.
constexpr uint8_t kCarveNone = 0;
constexpr uint8_t kCarveDisk = 1;
constexpr uint8_t kCarveVolume = 2;

constexpr uint8_t kOverwrittenUnknown = 0xFF;

// One found file or folder. One record holds the fields of both stored layouts; which ones are
// meaningful follows from the source kind (UsesNtfsLayout). Nodes come from the tree's NodePool.
struct ScanNode {
  ScanNode* next = nullptr;        // next sibling
  ScanNode* firstChild = nullptr;  // first child
  ScanNode* parent = nullptr;      // set by the numbering pass
  std::u16string name;             // UTF-16, owned by the node

  uint64_t size = 0;  // bytes (both layouts)

  // NTFS layout (kinds 0 and 3).
  uint64_t location = 0;  // sector of the file record, or first sector of a carved file
  uint64_t created = 0;   // FILETIME
  uint64_t modified = 0;  // FILETIME

  uint32_t id = 0;        // NTFS scan: record number until numbered; then the sequential id
  uint32_t parentId = 0;  // NTFS scan: parent record number until numbered; then the parent's id

  // FAT layout (kinds 1 and 2).
  uint32_t firstCluster = 0;  // or the low 32 bits of a carved file's first sector
  uint16_t createdDate = 0;   // FAT date encoding
  uint16_t modifiedDate = 0;  // FAT date encoding

  uint16_t attributes = 0;  // NTFS: low 16 bits of the file attributes; FAT: the attribute byte
  uint16_t nameLength = 0;  // NTFS: 8 bits stored; FAT: 16 bits stored
  uint8_t status = 0;       // kStatusLive | kStatusFolder
  uint8_t checked = 0;      // 1 when the user checked the entry
  uint8_t carveSource = 0;  // kCarveNone, kCarveDisk or kCarveVolume
  // Deleted files of a directory scan: the percent of their data clusters that the volume uses
  // again now. Kept in memory only; kOverwrittenUnknown for other nodes and after a scan file.
  uint8_t overwritten = kOverwrittenUnknown;

  bool IsFolderStatus() const { return (status & kStatusFolder) != 0; }
};

constexpr size_t kScanNodeSize = 62;

// One extent of a non-resident NTFS attribute; lcn 0 marks a sparse extent.
struct NtfsRun {
  uint32_t length = 0;  // clusters
  uint64_t lcn = 0;     // absolute first cluster on the volume
};

// One cluster of a FAT chain.
struct ClusterLink {
  uint32_t cluster = 0;
};

}  // namespace restora
