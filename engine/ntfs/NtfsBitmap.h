// SPDX-License-Identifier: GPL-3.0-or-later
// The volume's cluster bitmap ($Bitmap, record 6): which clusters live files use now. Read on
// demand, one 512-byte piece at a time, and kept.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "EngineState.h"
#include "MftTable.h"
#include "NtfsDataAttribute.h"

namespace restora {

class NtfsBitmap {
 public:
  // Finds the bitmap's extents through record 6 of table. Usable() tells whether that worked.
  NtfsBitmap(EngineState& state, const MftTable& table);

  bool Usable() const { return !runs_.empty(); }

  // 1 when cluster is in use, 0 when free, -1 when that part of the bitmap cannot be read.
  int InUse(uint64_t cluster);

  // The percent of the clusters that data's extents place on the volume (up to its real size)
  // that are in use now: 0 when all are free, 100 when all are used, never 0 or 100 for a
  // share between. Resident data counts as 0. kOverwrittenUnknown when the bitmap or a part of
  // it cannot be read.
  uint8_t OverwrittenPercent(const DataAttribute& data);

  static constexpr size_t kMaxCachedPieces = 8192;  // 4 MiB of bitmap

 private:
  using Piece = std::array<uint8_t, kSectorSize>;
  const Piece* Load(uint64_t piece);

  EngineState& state_;
  std::vector<NtfsRun> runs_;
  uint64_t size_ = 0;  // bytes of bitmap
  std::unordered_map<uint64_t, Piece> pieces_;
};

}  // namespace restora
