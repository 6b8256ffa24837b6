// SPDX-License-Identifier: GPL-3.0-or-later
// Opening sources and reading sectors.
#include "VolumeAccess.h"

#include <limits>

#include "NtfsRecord.h"

namespace restora {

bool SectorToByteOffset(uint64_t sector, uint64_t& byteOffset) {
  if (sector > std::numeric_limits<uint64_t>::max() / kSectorSize) return false;
  byteOffset = sector * kSectorSize;
  return true;
}

int ReadBytesAt(EngineState& state, uint64_t byteOffset, std::span<uint8_t> buffer) {
  if (!state.deviceHandle) return 0;
  if (buffer.size() > std::numeric_limits<uint64_t>::max() - byteOffset) return 0;
  return state.deviceHandle->ReadAt(byteOffset, buffer);
}

int ReadSectors(EngineState& state, uint64_t sector, std::span<uint8_t> buffer) {
  uint64_t offset = 0;
  if (!SectorToByteOffset(sector, offset)) return 0;
  return ReadBytesAt(state, offset, buffer);
}

int RecognizeBootSector(EngineState& state) {
  std::array<uint8_t, kSectorSize> sector{};
  (void)ReadSectors(state, 0, sector);  // a failed read leaves zeros, which no test accepts
  return RecognizeBootSectorBytes(state.volumeInfo, sector);
}

int OpenSource(EngineState& state, OpenMode mode, std::unique_ptr<SourceReader> reader,
               std::u16string_view devicePath) {
  state.deviceHandle = std::move(reader);
  if (mode == OpenMode::Drive || mode == OpenMode::PhysicalDisk) state.volumePath.assign(devicePath);
  if (mode == OpenMode::PhysicalDisk) {
    // The disk's byte size stands for its geometry; a disk that cannot tell it is refused.
    if (!state.deviceHandle) return 0;
    const uint64_t bytes = state.deviceHandle->SizeBytes();
    if (bytes < kSectorSize) return 0;
    state.volumeInfo.totalSectors = bytes / kSectorSize;
    return 1;
  }
  if (!RecognizeBootSector(state)) return 0;
  if (state.volumeInfo.kind == SourceKind::Ntfs && !NtfsSetup(state)) return 0;
  return state.deviceHandle ? 1 : 0;
}

}  // namespace restora
