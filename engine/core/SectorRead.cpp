// SPDX-License-Identifier: GPL-3.0-or-later
// Reading sectors of the open source.
#include "SectorRead.h"

#include <limits>

namespace restora {

bool SectorToByteOffset(uint64_t sector, uint64_t& byteOffset) {
  if (sector > std::numeric_limits<uint64_t>::max() / kSectorSize) return false;
  byteOffset = sector * kSectorSize;
  return true;
}

int ReadBytesAt(EngineState& state, uint64_t byteOffset, std::span<uint8_t> buffer, size_t* delivered) {
  if (!state.deviceHandle) return 0;
  if (buffer.size() > std::numeric_limits<uint64_t>::max() - byteOffset) return 0;
  return state.deviceHandle->ReadAt(byteOffset, buffer, delivered);
}

int ReadSectors(EngineState& state, uint64_t sector, std::span<uint8_t> buffer) {
  uint64_t offset = 0;
  if (!SectorToByteOffset(sector, offset)) return 0;
  return ReadBytesAt(state, offset, buffer);
}

}  // namespace restora
