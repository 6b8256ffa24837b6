// SPDX-License-Identifier: GPL-3.0-or-later
// Copying a file found by the signature search: a run of consecutive sectors.
#include "RawData.h"

#include <algorithm>
#include <vector>

#include "ByteReader.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint64_t kRawPieceBytes = 1024 * 1024;

// Reads a piece of a found file at sector into buffer; what the source does not deliver (past
// its end) reads as zeros. Only that tail is cleared, so a MiB read costs no extra pass over it.
bool ReadPiece(EngineState& state, uint64_t sector, std::span<uint8_t> buffer) {
  uint64_t offset = 0;
  size_t delivered = 0;
  const bool ok = state.deviceHandle && SectorToByteOffset(sector, offset) &&
                  state.deviceHandle->ReadAt(offset, buffer, &delivered) == 1;
  if (!ok) delivered = 0;  // an unreadable piece becomes zeros, so what follows keeps its offset
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(std::min(delivered, buffer.size())), buffer.end(), uint8_t{0});
  return ok;
}

}  // namespace

int CopyRawData(EngineState& state, const ScanNode& node, OutputFile& file) {
  const uint64_t start = state.NtfsLayout() ? node.location : node.firstCluster;
  const uint64_t total = state.volumeInfo.totalSectors;
  uint64_t size = node.size;
  int result = 1;
  const uint64_t sectorsLeft = start < total ? total - start : 0;
  uint64_t roomBytes = 0;
  if (!CheckedMul(sectorsLeft, kSectorSize, roomBytes)) roomBytes = ~uint64_t{0};
  if (size > roomBytes) {
    size = roomBytes;
    result = 0;
  }
  if (state.deviceHandle) state.deviceHandle->AdviseSequential();

  // Inside the kernel where the platform can copy from the source straight into the file; what
  // that does not cover (all of it, usually, on a device) goes through memory a MiB at a time,
  // from the sector where the copy stopped.
  // Both copies go a MiB at a time and ask KeepRunning between pieces, so a long file can be
  // paused and stopped.
  uint64_t done = 0;
  uint64_t startByte = 0;
  if (state.deviceHandle && SectorToByteOffset(start, startByte)) {
    while (done < size) {
      if (done > 0 && !state.KeepRunning()) return 0;
      const uint64_t want = std::min(kRawPieceBytes, size - done);
      const uint64_t copied = file.AppendFromSource(*state.deviceHandle, startByte + done, want);
      done += copied;
      if (copied < want) break;
    }
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(size - std::min(done, size), kRawPieceBytes)), 0);
  const uint64_t memoryStart = done;
  while (done < size) {
    if (done > memoryStart && !state.KeepRunning()) return 0;
    const uint64_t sectorIndex = done / kSectorSize;
    const auto skip = static_cast<size_t>(done % kSectorSize);
    const uint64_t pieceBytes = std::min(kRawPieceBytes, size - sectorIndex * kSectorSize);
    const std::span<uint8_t> piece(buffer.data(), static_cast<size_t>(pieceBytes));
    if (!ReadPiece(state, start + sectorIndex, piece)) result = 0;
    if (!file.Write(piece.subspan(skip))) return 0;
    done = sectorIndex * kSectorSize + pieceBytes;
  }
  return result;
}

}  // namespace restora
