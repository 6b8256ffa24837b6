// SPDX-License-Identifier: GPL-3.0-or-later
// Cluster positions on a FAT volume, cached reads of the first FAT, and the walk along a chain
// of clusters that both the directory scan and the recovery writer use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "EngineState.h"

namespace restora {

// The first sector of a data cluster. On FAT16, cluster 2 lies 32 sectors past
// clusterBaseSector (see VolumeInfo); on FAT32 it is clusterBaseSector itself. Clusters below 2
// have no data sector of their own: they give clusterBaseSector.
uint64_t FatClusterSector(const VolumeInfo& info, uint64_t cluster);

// Where the FAT16 root area lies (sector) and its length in bytes: as the boot sector gave it,
// or the usual 32 sectors at clusterBaseSector for a description without it.
void FatRootArea(const VolumeInfo& info, uint64_t& sector, size_t& bytes);

// The first cluster of the root folder: 1 stands for the FAT16 root area; on FAT32 the cluster
// the boot sector names, or 2 for a description without it.
uint32_t FatRootCluster(const VolumeInfo& info);

// Bytes in one cluster (sectorsPerCluster × 512).
uint32_t FatClusterBytes(const VolumeInfo& info);

// True when value, read from a FAT, names a cluster of the volume that a chain may go on to:
// at least 2, below fatEntryCount (a cluster at or past it has no entry in the first FAT), not
// one of the reserved, bad-cluster or end-of-chain values (0xFFF7 and up on FAT16, 0x0FFFFFF7
// and up on FAT32), and on FAT32 without any of the top four bits set.
bool IsChainCluster(const VolumeInfo& info, uint64_t value);

// Reads entries of the first FAT in blocks of kBlockSectors sectors and keeps the blocks it has
// loaded, so that a walk touching the same part of the FAT again (every folder of a scan, every
// file a writer saves, the overwritten share of every deleted file) reads it only once, and a
// walk along a long chain costs one read per 32 KiB of FAT rather than one per sector. A block
// whose read fails is read again sector by sector, so a failed sector costs only its own
// entries; a sector that still failed is tried again when one of its entries is asked for.
// Holds at most kMaxCachedBlocks; past that the oldest loaded block is dropped first.
class FatTable {
 public:
  explicit FatTable(EngineState& state);
  FatTable(const FatTable&) = delete;
  FatTable& operator=(const FatTable&) = delete;

  // The raw entry of cluster (16 bits on FAT16, 32 bits on FAT32, nothing masked) in *value.
  // Returns 1 when its FAT sector could be read, 0 when the read failed.
  int Entry(uint32_t cluster, uint32_t* value);

  // Reads issued to the source so far.
  uint64_t SectorReads() const { return sectorReads_; }

  static constexpr uint32_t kBlockSectors = 64;    // 32 KiB of FAT per read
  static constexpr size_t kMaxCachedBlocks = 512;  // 16 MiB of FAT

 private:
  struct Block {
    uint64_t firstSector = 0;
    uint64_t readMask = 0;  // bit i: sector i of the block holds what the source gave
    std::array<uint8_t, size_t{kBlockSectors} * kSectorSize> bytes{};
  };
  Block* Load(uint64_t blockIndex);
  int ReadInto(Block& block, uint32_t index, uint32_t count);

  EngineState& state_;
  std::unordered_map<uint64_t, size_t> slotOf_;  // block index -> index into blocks_
  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<uint64_t> slotBlock_;  // the block index each slot holds
  size_t nextEvict_ = 0;             // oldest slot, once all slots are in use
  // The block the last entry came from: walks read neighbouring entries, so most calls skip
  // the lookup.
  uint64_t lastBlockIndex_ = UINT64_MAX;
  Block* lastBlock_ = nullptr;
  uint64_t sectorReads_ = 0;
};

// Replaces state.clusterChain with the chain that starts at firstCluster, reading the FAT
// through table. The chain ends at a free (0) entry, at a value that is no cluster of the
// volume (IsChainCluster), where it would return to a cluster it already holds, and after
// fatEntryCount links. firstCluster is always the first link; when it is 1 (the FAT16 root
// area) or has no FAT entry, it stays the only one.
// Returns 1 when the chain is complete, 0 when a FAT sector could not be read (the chain built
// so far stays in state.clusterChain).
int BuildClusterChain(EngineState& state, FatTable& table, uint32_t firstCluster);

}  // namespace restora
