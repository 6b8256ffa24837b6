// SPDX-License-Identifier: GPL-3.0-or-later
// The disk image file (".qxi"): a raw copy of the open volume in blocks of 63 sectors.
#pragma once

#include <cstdint>
#include <string>

#include "EngineState.h"

namespace restora {

constexpr uint64_t kImageBlockSectors = 63;
constexpr size_t kImageBlockBytes = kImageBlockSectors * kSectorSize;  // 32,256

// What a run of WriteImageFile did, for callers that report it.
struct ImageStats {
  bool created = false;          // the file was created
  bool stopped = false;          // a stop request ended the copy
  bool writeFailed = false;      // a write to the file failed (a full disk, for example)
  uint64_t blocksWritten = 0;    // blocks of 63 sectors in the file
  uint64_t unreadableBlocks = 0; // blocks whose read failed and that hold zeros
};

// The number of 63-sector blocks an image of totalSectors sectors holds: ⌈T / 63⌉.
inline uint64_t ImageBlockCount(uint64_t totalSectors) {
  return totalSectors / kImageBlockSectors + (totalSectors % kImageBlockSectors != 0 ? 1 : 0);
}

// Copies the first ⌈T / 63⌉ × 63 sectors of the open source (T = volumeInfo.totalSectors) into a
// new file at path, replacing an existing one. Bytes a block's read does not deliver are zeros; a
// block whose read fails is written as 63 sectors of zeros and the copy goes on. The stop request
// is tested before each block; a stopped copy leaves the blocks written so far. Progress reports
// the first sector of the block being read against T. The source stays open.
// Returns 1 when the whole volume was copied (or T is 0), 0 when no source is open, the file
// could not be created, a write failed or a stop request ended the copy.
int WriteImageFile(EngineState& state, const std::string& path, ImageStats* stats = nullptr);

}  // namespace restora
