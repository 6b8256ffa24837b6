// SPDX-License-Identifier: GPL-3.0-or-later
// Found files cut at their format's end.
#include "FoundFileEnd.h"

#include <algorithm>

#include "FileEnd.h"
#include "SectorRead.h"

namespace restora {

FileBytes FoundFileBytes(EngineState& state, uint64_t sector, uint64_t bound) {
  uint64_t start = 0;
  if (!state.deviceHandle || !SectorToByteOffset(sector, start)) bound = 0;
  return FileBytes(bound, [&state, start](uint64_t offset, std::span<uint8_t> buffer) -> size_t {
    size_t delivered = 0;
    if (state.deviceHandle->ReadAt(start + offset, buffer, &delivered) != 1) return 0;
    return std::min(delivered, buffer.size());
  });
}

int CutAtFormatEnd(EngineState& state, ScanNode& file, uint64_t sector, std::string_view extension, uint64_t bound) {
  FileBytes bytes = FoundFileBytes(state, sector, bound);
  const uint64_t end = FindFileEnd(extension, bytes);
  if (end == 0) return 0;
  file.size = end;
  return 1;
}

}  // namespace restora
