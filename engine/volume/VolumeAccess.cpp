// SPDX-License-Identifier: GPL-3.0-or-later
// Opening sources.
#include "VolumeAccess.h"

#include "NtfsRecord.h"

namespace restora {

int RecognizeBootSector(EngineState& state) {
  std::array<uint8_t, kSectorSize> sector{};
  (void)ReadSectors(state, 0, sector);  // a failed read leaves zeros, which no test accepts
  state.refusal.clear();
  return RecognizeBootSectorBytes(state.volumeInfo, sector, &state.refusal);
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
