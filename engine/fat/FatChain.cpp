// SPDX-License-Identifier: GPL-3.0-or-later
// Cluster positions, the FAT sector cache and the cluster chain walk.
#include "FatChain.h"

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

const FatTable::Sector* FatTable::Load(uint64_t sector) {
  if (auto hit = slotOf_.find(sector); hit != slotOf_.end()) return &slots_[hit->second];
  Sector loaded{};
  ++sectorReads_;
  if (!ReadSectors(state_, sector, loaded)) return nullptr;
  size_t slot = slots_.size();
  if (slot < kMaxCachedSectors) {
    slots_.push_back(loaded);
    slotSector_.push_back(sector);
  } else {
    slot = nextEvict_;
    nextEvict_ = (nextEvict_ + 1) % kMaxCachedSectors;
    slotOf_.erase(slotSector_[slot]);
    slots_[slot] = loaded;
    slotSector_[slot] = sector;
  }
  slotOf_.emplace(sector, slot);
  return &slots_[slot];
}

int FatTable::Entry(uint32_t cluster, uint32_t* value) {
  const VolumeInfo& info = state_.volumeInfo;
  const uint32_t perSector = EntriesPerFatSector(info);
  const Sector* sector = Load(info.fat1Sector + cluster / perSector);
  if (sector == nullptr) return 0;
  const Bytes bytes(*sector);
  const size_t index = cluster % perSector;
  *value = IsFat16(info) ? LoadU16(bytes, index * 2) : LoadU32(bytes, index * 4);
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
