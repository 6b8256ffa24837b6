// SPDX-License-Identifier: GPL-3.0-or-later
// Copying the open volume into an image file. The copy reads and writes up to 32 blocks of 63
// sectors at once; a large read that fails or comes back short is redone block by block, so the
// file's bytes are those that one read per block would give.
#include "ImageFile.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "ByteReader.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr size_t kBlocksPerRead = 32;  // 1,032,192 bytes per read and write

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the blocks from firstBlock on into buffer (a whole number of blocks, zeroed first).
// Returns 1 when the read succeeded and delivered every byte, 0 otherwise.
int ReadWholeBlocks(EngineState& state, uint64_t firstBlock, std::span<uint8_t> buffer) {
  std::fill(buffer.begin(), buffer.end(), uint8_t{0});
  uint64_t sector = 0;
  uint64_t offset = 0;
  if (!CheckedMul(firstBlock, kImageBlockSectors, sector) || !SectorToByteOffset(sector, offset)) return 0;
  if (buffer.size() > std::numeric_limits<uint64_t>::max() - offset) return 0;
  size_t delivered = 0;
  return state.deviceHandle->ReadAt(offset, buffer, &delivered) == 1 && delivered == buffer.size() ? 1 : 0;
}

// Fills buffer with count blocks from firstBlock on, as one read per block would leave them:
// what a read did not deliver is zeros, and a block whose read fails is all zeros.
void FillBlocks(EngineState& state, uint64_t firstBlock, size_t count, std::span<uint8_t> buffer, ImageStats& stats) {
  const std::span<uint8_t> blocks = buffer.first(count * kImageBlockBytes);
  if (ReadWholeBlocks(state, firstBlock, blocks) == 1) return;
  for (size_t i = 0; i < count; ++i) {
    const std::span<uint8_t> block = blocks.subspan(i * kImageBlockBytes, kImageBlockBytes);
    std::fill(block.begin(), block.end(), uint8_t{0});
    uint64_t sector = 0;
    if (!CheckedMul(firstBlock + i, kImageBlockSectors, sector) || ReadSectors(state, sector, block) != 1) {
      std::fill(block.begin(), block.end(), uint8_t{0});  // a failed read may have delivered a part
      ++stats.unreadableBlocks;
    }
  }
}

}  // namespace

int WriteImageFile(EngineState& state, const std::string& path, ImageStats* stats) {
  ImageStats localStats;
  ImageStats& s = stats != nullptr ? *stats : localStats;
  s = ImageStats{};
  if (!state.deviceHandle) return 0;

  std::vector<uint8_t> buffer;
  try {
    buffer.resize(kBlocksPerRead * kImageBlockBytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return 0;
  s.created = true;
  std::setvbuf(file.get(), nullptr, _IONBF, 0);  // every write is whole blocks already

  const uint64_t totalSectors = state.volumeInfo.totalSectors;
  const uint64_t totalBlocks = ImageBlockCount(totalSectors);
  state.deviceHandle->AdviseSequential();
  for (uint64_t block = 0; block < totalBlocks;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kBlocksPerRead, totalBlocks - block));
    // The stop request is tested block by block, so a stop leaves whole blocks up to that point.
    size_t taken = 0;
    for (; taken < count; ++taken) {
      if (!state.KeepRunning()) {
        s.stopped = true;
        break;
      }
      if (taken == 0) {
        state.ReportProgress(block * kImageBlockSectors, totalSectors);
        FillBlocks(state, block, count, buffer, s);
      }
    }
    const size_t bytes = taken * kImageBlockBytes;
    if (bytes > 0 && std::fwrite(buffer.data(), 1, bytes, file.get()) != bytes) {
      s.writeFailed = true;
      break;
    }
    s.blocksWritten += taken;
    block += taken;
    if (s.stopped) break;
  }
  if (std::fclose(file.release()) != 0) s.writeFailed = true;
  if (s.writeFailed) state.ReportDiagnostic("image file " + path + ": a write failed; the image is incomplete");
  return s.stopped || s.writeFailed ? 0 : 1;
}

}  // namespace restora
