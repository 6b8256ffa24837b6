// SPDX-License-Identifier: GPL-3.0-or-later
// Copying a FAT entry's data along its clusters.
#include "FatData.h"

#include <algorithm>
#include <vector>

#include "ByteReader.h"
#include "FatChain.h"
#include "FatScan.h"
#include "SectorRead.h"

namespace restora {

namespace {

// The chain holds exactly the clusters a file of size bytes needs; a size that is a whole number
// of clusters also accepts one spare cluster.
bool UsesChainMode(uint64_t size, uint64_t clusterBytes, uint64_t links) {
  uint64_t chainBytes = 0;
  if (links == 0 || !CheckedMul(links, clusterBytes, chainBytes)) return false;
  return size <= chainBytes && chainBytes - clusterBytes <= size;
}

}  // namespace

constexpr uint64_t kCheckEveryBytes = 1024 * 1024;

int CopyFatData(EngineState& state, const ScanNode& node, OutputFile& file) {
  const VolumeInfo& info = state.volumeInfo;
  const uint64_t clusterBytes = uint64_t{info.fatSectorsPerCluster} * kSectorSize;
  const uint64_t size = node.size;
  (void)BuildClusterChain(state, node.firstCluster);  // a partial chain simply fails the mode test
  std::vector<ClusterLink> chain = std::move(state.clusterChain);
  state.clusterChain.clear();
  if (clusterBytes == 0) return size == 0 ? 1 : 0;
  const bool chainMode = UsesChainMode(size, clusterBytes, chain.size());

  std::vector<uint8_t> buffer(static_cast<size_t>(clusterBytes), 0);
  int result = 1;
  uint64_t written = 0;
  uint64_t sinceCheck = 0;  // bytes copied since KeepRunning was last asked: a long file can be paused and stopped
  for (uint64_t index = 0; written < size; ++index) {
    if (sinceCheck >= kCheckEveryBytes) {
      sinceCheck = 0;
      if (!state.KeepRunning()) return 0;
    }
    const uint64_t cluster =
        chainMode ? chain[static_cast<size_t>(index)].cluster : uint64_t{node.firstCluster} + index;
    // The file cannot go on outside the volume's data area; clusters below 2 hold no data.
    const uint64_t sector = FatClusterSector(info, cluster);
    if (cluster < 2 || sector >= info.totalSectors ||
        info.totalSectors - sector < info.fatSectorsPerCluster) {
      return 0;
    }
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    if (!ReadSectors(state, sector, buffer)) {
      std::fill(buffer.begin(), buffer.end(), uint8_t{0});
      result = 0;
    }
    const uint64_t piece = std::min(clusterBytes, size - written);
    if (!file.Write(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(piece)))) return 0;
    written += piece;
    sinceCheck += piece;
  }
  return result;
}

}  // namespace restora
