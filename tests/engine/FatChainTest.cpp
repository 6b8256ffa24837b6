// SPDX-License-Identifier: GPL-3.0-or-later
// Cluster positions and the cluster chain walk: regular chains, then chains that loop, leave
// the volume or meet an unreadable FAT sector.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "FatImageBuilder.h"
#include "FatScan.h"
#include "FaultInjectingReader.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::FatImageBuilder;

std::unique_ptr<EngineState> Open(FatImageBuilder& builder) {
  auto state = std::make_unique<EngineState>();
  EXPECT_EQ(test::OpenMemorySource(*state, builder.Take()), 1);
  return state;
}

std::vector<uint32_t> ChainOf(EngineState& state, uint32_t firstCluster, int* result = nullptr) {
  const int built = BuildClusterChain(state, firstCluster);
  if (result != nullptr) *result = built;
  std::vector<uint32_t> clusters;
  for (const ClusterLink& link : state.clusterChain) clusters.push_back(link.cluster);
  return clusters;
}

TEST(FatChain, ClusterSectorsMatchTheLayoutOnBothWidths) {
  for (FatImageBuilder builder : {FatImageBuilder::Fat16(20000, 4), FatImageBuilder::Fat32(20000, 4)}) {
    const uint64_t cluster2 = builder.ClusterOffset(2) / 512;
    const uint64_t cluster9 = builder.ClusterOffset(9) / 512;
    const bool fat16 = builder.IsFat16();
    auto state = Open(builder);
    const VolumeInfo& info = state->volumeInfo;
    EXPECT_EQ(FatClusterSector(info, 2), cluster2);
    EXPECT_EQ(FatClusterSector(info, 9), cluster9);
    EXPECT_EQ(FatClusterBytes(info), 2048u);
    // On FAT16 cluster 2 lies past the 32 sectors of the fixed root area.
    EXPECT_EQ(FatClusterSector(info, 2), info.clusterBaseSector + (fat16 ? 32 : 0));
    EXPECT_EQ(FatClusterSector(info, 1), info.clusterBaseSector);
  }
}

TEST(FatChain, FollowsFragmentedChainsAcrossFatSectors) {
  // 256 FAT16 entries and 128 FAT32 entries fill one FAT sector, so these chains hop sectors.
  FatImageBuilder fat16 = FatImageBuilder::Fat16(8192);
  fat16.Chain({3, 300, 4, 600, 5});
  auto state16 = Open(fat16);
  EXPECT_EQ(ChainOf(*state16, 3), (std::vector<uint32_t>{3, 300, 4, 600, 5}));

  FatImageBuilder fat32 = FatImageBuilder::Fat32(8192);
  fat32.Chain({3, 200, 130, 5});
  fat32.SetFat(40, 41);
  fat32.SetFat(41, 0);  // a free entry ends the chain, as after a delete
  auto state32 = Open(fat32);
  EXPECT_EQ(ChainOf(*state32, 3), (std::vector<uint32_t>{3, 200, 130, 5}));
  EXPECT_EQ(ChainOf(*state32, 40), (std::vector<uint32_t>{40, 41}));
  // The root cluster of mkfs.fat ends with 0x0FFFFFF8, one of the end-of-chain values.
  EXPECT_EQ(ChainOf(*state32, 2), (std::vector<uint32_t>{2}));
}

TEST(FatChain, EndsAtValuesThatAreNoClusterOfTheVolume) {
  FatImageBuilder fat16 = FatImageBuilder::Fat16(8192);
  const uint32_t beyond = static_cast<uint32_t>(fat16.FatEntryCount());
  fat16.SetFat(3, 4), fat16.SetFat(4, 0xFFF8);    // an end-of-chain value other than 0xFFFF
  fat16.SetFat(5, 6), fat16.SetFat(6, 0xFFF7);    // the bad-cluster mark
  fat16.SetFat(7, 8), fat16.SetFat(8, 1);         // below 2
  fat16.SetFat(9, 10), fat16.SetFat(10, beyond);  // at fatEntryCount: no entry in the first FAT
  auto state16 = Open(fat16);
  EXPECT_EQ(ChainOf(*state16, 3), (std::vector<uint32_t>{3, 4}));
  EXPECT_EQ(ChainOf(*state16, 5), (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(ChainOf(*state16, 7), (std::vector<uint32_t>{7, 8}));
  EXPECT_EQ(ChainOf(*state16, 9), (std::vector<uint32_t>{9, 10}));

  FatImageBuilder fat32 = FatImageBuilder::Fat32(8192);
  fat32.SetFat(3, 0x10000004);  // cluster 4 with a top bit set
  fat32.SetFat(5, 6), fat32.SetFat(6, 0x0FFFFFF7);
  auto state32 = Open(fat32);
  EXPECT_EQ(ChainOf(*state32, 3), (std::vector<uint32_t>{3}));
  EXPECT_EQ(ChainOf(*state32, 5), (std::vector<uint32_t>{5, 6}));
}

TEST(FatChain, FirstClusterWithoutFatEntryStaysAloneWithoutReadingTheFat) {
  FatImageBuilder builder = FatImageBuilder::Fat16(8192);
  const uint32_t beyond = static_cast<uint32_t>(builder.FatEntryCount());
  auto state = Open(builder);
  for (const uint32_t first : {0u, 1u, beyond, beyond + 5, 0xFFFFFFFFu}) {
    FatTable table(*state);
    EXPECT_EQ(BuildClusterChain(*state, table, first), 1);
    ASSERT_EQ(state->clusterChain.size(), 1u) << first;
    EXPECT_EQ(state->clusterChain[0].cluster, first);
    EXPECT_EQ(table.SectorReads(), 0u) << first;
  }
}

TEST(FatChain, LoopsEndWhereTheyWouldReturn) {
  FatImageBuilder builder = FatImageBuilder::Fat32(16384);
  builder.Chain({3, 4, 5});
  builder.SetFat(5, 3);  // back to the start
  builder.SetFat(7, 7);  // onto itself
  builder.Chain({10, 11, 12, 13});
  builder.SetFat(13, 11);  // back into the middle
  // A long loop: 1000 clusters spread over many FAT sectors, closing at its 401st cluster.
  std::vector<uint32_t> big(1000);
  std::iota(big.begin(), big.end(), 2000u);
  builder.Chain(big);
  builder.SetFat(big.back(), big[400]);
  auto state = Open(builder);
  EXPECT_EQ(ChainOf(*state, 3), (std::vector<uint32_t>{3, 4, 5}));
  EXPECT_EQ(ChainOf(*state, 7), (std::vector<uint32_t>{7}));
  EXPECT_EQ(ChainOf(*state, 11), (std::vector<uint32_t>{11, 12, 13}));
  EXPECT_EQ(ChainOf(*state, 10), (std::vector<uint32_t>{10, 11, 12, 13}));
  EXPECT_EQ(ChainOf(*state, big.front()), big);
  EXPECT_EQ(ChainOf(*state, big[700]).size(), 600u);  // from 2700 to 2999, then 2400 to 2699
}

TEST(FatChain, UnreadableFatSectorKeepsTheChainSoFar) {
  FatImageBuilder builder = FatImageBuilder::Fat16(8192);
  builder.Chain({3, 300, 4});
  const uint64_t fatSector1 = builder.Fat1Offset() / 512 + 1;  // holds the entry of 300
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(builder.Take()));
  reader->FailSector(fatSector1);
  EngineState state;
  ASSERT_EQ(OpenSource(state, OpenMode::Image, std::move(reader)), 1);
  int result = -1;
  EXPECT_EQ(ChainOf(state, 3, &result), (std::vector<uint32_t>{3, 300}));
  EXPECT_EQ(result, 0);
}

TEST(FatChain, TableReadsEachFatSectorOnce) {
  FatImageBuilder builder = FatImageBuilder::Fat16(8192);
  builder.Chain({3, 4, 5, 300, 6});
  builder.Chain({7, 301, 8});
  auto state = Open(builder);
  FatTable table(*state);
  ASSERT_EQ(BuildClusterChain(*state, table, 3), 1);
  EXPECT_EQ(state->clusterChain.size(), 5u);
  ASSERT_EQ(BuildClusterChain(*state, table, 7), 1);
  EXPECT_EQ(state->clusterChain.size(), 3u);
  EXPECT_EQ(table.SectorReads(), 2u);  // FAT sectors 0 and 1, each loaded once for both chains
}

}  // namespace
}  // namespace restora
