// SPDX-License-Identifier: GPL-3.0-or-later
// The stored forms of VolumeInfo (69 bytes) and ScanNode (62 bytes, in the FAT or the NTFS layout
// that the source kind selects), byte for byte as the scan information file holds them.
#pragma once

#include <array>

#include "ByteReader.h"
#include "ScanModel.h"

namespace restora {

std::array<uint8_t, kVolumeInfoSize> SerializeVolumeInfo(const VolumeInfo& info);
// Reads the 69 stored bytes (missing bytes read as zero).
VolumeInfo ParseVolumeInfo(Bytes bytes);

// The three link fields and the name field hold a non-zero token exactly where the in-memory
// link or name is set; a reader only tests them for zero.
std::array<uint8_t, kScanNodeSize> SerializeScanNode(const ScanNode& node, SourceKind kind);

// What the stored link fields of a node said.
struct StoredLinks {
  bool hasNext = false;
  bool hasFirstChild = false;
};

// Fills node's fields of the layout that kind selects from 62 stored bytes; links and name are
// left to the caller. Returns what the stored next and firstChild fields said.
StoredLinks ParseScanNode(Bytes bytes, SourceKind kind, ScanNode& node);

}  // namespace restora
