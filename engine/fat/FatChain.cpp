// SPDX-License-Identifier: GPL-3.0-or-later
// Cluster positions, the FAT sector cache and the cluster chain walk.
#include "FatChain.h"

#include <algorithm>

#include "ByteReader.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint64_t kFat16RootSectors = 32;  // the usual root area: 512 entries of 32 bytes

bool IsFat16(const VolumeInfo& info) { return info.fatKind == 1; }

uint32_t EntriesPerFatSector(const VolumeInfo& info) { return IsFat16(info) ? 256 : 128; }

// Cuts a chain that ran into a loop back to the clusters before the loop closes. The chain
// holds x0 … x(n-1) of the walk, repeat is x(n), and x(n) == x(n-cycleLength).
void TrimLoop(std::vector<ClusterLink>& chain, uint32_t repeat, uint64_t cycleLength) {
  const size_t n = chain.size();
  auto at = [&](size_t i) { return i < n ? chain[i].cluster : repeat; };
  // The loop starts at the first i whose successor cycleLength steps on is the same cluster.
  size_t start = 0;
  while (start + cycleLength <= n && at(start) != at(start + cycleLength)) ++start;
  chain.resize(start + cycleLength);
}

}  // namespace

uint64_t FatClusterSector(const VolumeInfo& info, uint64_t cluster) {
  if (cluster < 2) return info.clusterBaseSector;
  const uint64_t offset = (cluster - 2) * info.fatSectorsPerCluster + info.clusterBaseSector;
  return IsFat16(info) ? offset + kFat16RootSectors : offset;
}

void FatRootArea(const VolumeInfo& info, uint64_t& sector, size_t& bytes) {
  if (info.rootAreaSectors == 0) {
    sector = info.clusterBaseSector;
    bytes = kFat16RootSectors * kSectorSize;
    return;
  }
  sector = info.rootAreaSector;
  bytes = size_t{info.rootAreaSectors} * kSectorSize;
}

uint32_t FatRootCluster(const VolumeInfo& info) {
  if (IsFat16(info)) return 1;
  return info.rootCluster >= 2 ? info.rootCluster : 2;
}

uint32_t FatClusterBytes(const VolumeInfo& info) { return uint32_t{info.fatSectorsPerCluster} * kSectorSize; }

bool IsChainCluster(const VolumeInfo& info, uint64_t value) {
  if (value < 2 || value >= info.fatEntryCount) return false;
  if (IsFat16(info)) return value < 0xFFF7;
  return value < 0x0FFFFFF7;  // also excludes every value with one of the top four bits set
}

FatTable::FatTable(EngineState& state) : state_(state) {}

int FatTable::ReadInto(Block& block, uint32_t index, uint32_t count) {
  ++sectorReads_;
  const std::span<uint8_t> bytes(block.bytes.data() + size_t{index} * kSectorSize, size_t{count} * kSectorSize);
  if (!ReadSectors(state_, block.firstSector + index, bytes)) return 0;
  const uint64_t bits = count == 64 ? ~uint64_t{0} : ((uint64_t{1} << count) - 1);
  block.readMask |= bits << index;
  return 1;
}

FatTable::Block* FatTable::Load(uint64_t blockIndex) {
  if (auto hit = slotOf_.find(blockIndex); hit != slotOf_.end()) return blocks_[hit->second].get();
  size_t slot = blocks_.size();
  if (slot < kMaxCachedBlocks) {
    blocks_.push_back(std::make_unique<Block>());
    slotBlock_.push_back(blockIndex);
  } else {
    slot = nextEvict_;
    nextEvict_ = (nextEvict_ + 1) % kMaxCachedBlocks;
    slotOf_.erase(slotBlock_[slot]);
    slotBlock_[slot] = blockIndex;
  }
  slotOf_.emplace(blockIndex, slot);
  Block& block = *blocks_[slot];
  block.readMask = 0;

  // The block ends where the first FAT's entries end, so nothing past the table is read; a sector
  // beyond that end (an entry asked for past fatEntryCount) is read alone when it is asked for.
  const VolumeInfo& info = state_.volumeInfo;
  const uint64_t fatSectors = (info.fatEntryCount + EntriesPerFatSector(info) - 1) / EntriesPerFatSector(info);
  const uint64_t first = blockIndex * kBlockSectors;
  block.firstSector = info.fat1Sector + first;
  const uint32_t sectors = first < fatSectors ? static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, fatSectors - first)) : 0;
  if (sectors > 0 && !ReadInto(block, 0, sectors)) {
    for (uint32_t index = 0; index < sectors; ++index) (void)ReadInto(block, index, 1);
  }
  return &block;
}

int FatTable::Entry(uint32_t cluster, uint32_t* value) {
  const VolumeInfo& info = state_.volumeInfo;
  const unsigned shift = IsFat16(info) ? 8 : 7;  // 256 or 128 entries in a 512-byte sector
  const uint64_t fatSector = cluster >> shift;
  const uint64_t blockIndex = fatSector / kBlockSectors;
  if (blockIndex != lastBlockIndex_) {
    lastBlock_ = Load(blockIndex);
    lastBlockIndex_ = blockIndex;
  }
  Block* block = lastBlock_;
  const auto index = static_cast<uint32_t>(fatSector % kBlockSectors);
  if ((block->readMask >> index & 1) == 0 && !ReadInto(*block, index, 1)) return 0;
  const Bytes bytes(std::span<const uint8_t>(block->bytes.data() + size_t{index} * kSectorSize, kSectorSize));
  const size_t entry = cluster & ((1u << shift) - 1);
  *value = IsFat16(info) ? LoadU16(bytes, entry * 2) : LoadU32(bytes, entry * 4);
  return 1;
}

int BuildClusterChain(EngineState& state, FatTable& table, uint32_t firstCluster) {
  std::vector<ClusterLink>& chain = state.clusterChain;
  chain.assign(1, ClusterLink{firstCluster});
  const VolumeInfo& info = state.volumeInfo;
  if (!IsChainCluster(info, firstCluster)) return 1;

  // Brent's cycle detection: the tortoise waits at a link while the hare runs up to `power`
  // links past it; meeting it again gives the loop's length without a set of seen clusters.
  // The walk is a function of the cached FAT, so it meets within three times the number of
  // distinct clusters; the step bound only guards against a FAT that changes under the walk.
  uint32_t tortoise = firstCluster;
  uint64_t power = 1;
  uint64_t cycleLength = 1;
  uint32_t current = firstCluster;
  const uint64_t maxSteps = 4 * info.fatEntryCount;
  for (uint64_t step = 0; step < maxSteps; ++step) {
    uint32_t next = 0;
    if (!table.Entry(current, &next)) return 0;
    if (!IsChainCluster(info, next)) return 1;
    if (next == tortoise) {
      TrimLoop(chain, next, cycleLength);
      return 1;
    }
    chain.push_back(ClusterLink{next});
    if (power == cycleLength) {
      tortoise = next;
      power *= 2;
      cycleLength = 0;
    }
    ++cycleLength;
    current = next;
  }
  if (chain.size() > info.fatEntryCount) chain.resize(info.fatEntryCount);
  return 1;
}

}  // namespace restora
