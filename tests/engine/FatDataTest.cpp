// SPDX-License-Identifier: GPL-3.0-or-later
// A FAT entry's data: along its cluster chain when the chain fits the size, from consecutive
// clusters otherwise; cluster positions on FAT16 and FAT32; unreadable clusters and files that
// would run past the volume.
#include <gtest/gtest.h>

#include "FaultInjectingReader.h"
#include "FatData.h"
#include "RawData.h"
#include "VolumeAccess.h"
#include "WriterSupport.h"

namespace restora {
namespace {

using Data = std::vector<uint8_t>;

void Put16(Data& d, size_t at, uint16_t v) { d[at] = static_cast<uint8_t>(v), d[at + 1] = static_cast<uint8_t>(v >> 8); }
void Put32(Data& d, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i)); }

// A FAT volume of 4,096-byte clusters (8 sectors) and 32 reserved sectors, with 16 sectors per
// FAT: clusters start at sector 64 on FAT32, and at 64 + 32 on FAT16 (past its root area).
class FatDataTest : public ::testing::TestWithParam<SourceKind> {
 protected:
  static constexpr uint64_t kSectors = 4096;
  static constexpr uint64_t kCluster = 4096;

  void SetUp() override {
    fat16 = GetParam() == SourceKind::Fat16;
    volume.assign(kSectors * kSectorSize, 0);
    Data& b = volume;
    Put16(b, 0x0B, 512);
    b[0x0D] = 8;
    Put16(b, 0x0E, 32);
    b[0x10] = 2;                                   // FATs
    Put16(b, 0x11, fat16 ? 512 : 0);               // root entries
    if (!fat16) Put32(b, 0x2C, 2);                 // root cluster
    b[0x15] = 0xF8;
    b[510] = 0x55;
    b[511] = 0xAA;
    if (fat16) {
      Put16(b, 0x13, static_cast<uint16_t>(kSectors));
      Put16(b, 0x16, 16);
      b[0x26] = 0x29;
      std::copy_n("FAT16", 5, b.begin() + 0x36);
    } else {
      Put32(b, 0x20, kSectors);
      Put32(b, 0x24, 16);
      std::copy_n("FAT32", 5, b.begin() + 0x52);
    }
    // Each cluster is filled with its own number.
    for (uint32_t cluster = 2; ClusterSector(cluster) + 8 <= kSectors; ++cluster) {
      std::fill_n(volume.begin() + static_cast<std::ptrdiff_t>(ClusterSector(cluster) * kSectorSize), kCluster,
                  static_cast<uint8_t>(cluster));
    }
  }

  uint64_t ClusterSector(uint64_t cluster) const { return (cluster - 2) * 8 + 64 + (fat16 ? 32 : 0); }

  void Link(uint32_t cluster, uint32_t next) {
    const size_t fat = 32 * kSectorSize;
    if (fat16) {
      Put16(volume, fat + 2 * cluster, static_cast<uint16_t>(next));
    } else {
      Put32(volume, fat + 4 * cluster, next);
    }
  }
  uint32_t EndOfChain() const { return fat16 ? 0xFFFF : 0x0FFFFFFF; }

  // Opens the volume as it stands and copies a file of size bytes from firstCluster.
  int Copy(uint32_t firstCluster, uint64_t size, test::MemoryOutputFile& out, uint64_t failingSector = 0) {
    auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(volume));
    if (failingSector != 0) reader->FailSector(failingSector);
    state.deviceHandle = std::move(reader);
    EXPECT_EQ(RecognizeBootSector(state), 1);
    ScanNode node;
    node.firstCluster = firstCluster;
    node.size = size;
    const int result = CopyFatData(state, node, out);
    EXPECT_TRUE(state.clusterChain.empty());
    return result;
  }

  // The bytes of the given clusters in order, cut to size.
  static Data Expect(std::initializer_list<uint8_t> clusters, size_t size) {
    Data out;
    for (uint8_t cluster : clusters) out.insert(out.end(), kCluster, cluster);
    out.resize(size);
    return out;
  }

  bool fat16 = false;
  Data volume;
  EngineState state;
};

TEST_P(FatDataTest, TheChainIsFollowedWhenItHoldsExactlyTheClustersTheSizeNeeds) {
  test::MemoryOutputFile two;
  Link(5, 9);
  Link(9, EndOfChain());
  EXPECT_EQ(Copy(5, 5000, two), 1);
  EXPECT_EQ(two.bytes, Expect({5, 9}, 5000));  // 4,096 + 904 bytes along the chain

  // A size that is a whole number of clusters accepts one spare link.
  Link(9, 10);
  Link(10, EndOfChain());
  test::MemoryOutputFile spare;
  EXPECT_EQ(Copy(5, 8192, spare), 1);
  EXPECT_EQ(spare.bytes, Expect({5, 9}, 8192));

  // A chain longer than that does not fit the size: the clusters from the first on are read.
  test::MemoryOutputFile longer;
  EXPECT_EQ(Copy(5, 5000, longer), 1);
  EXPECT_EQ(longer.bytes, Expect({5, 6}, 5000));
}

TEST_P(FatDataTest, ADeletedFileWithoutChainIsReadFromConsecutiveClusters) {
  test::MemoryOutputFile cleared;  // the FAT entries of a deleted file are 0: one link
  EXPECT_EQ(Copy(20, 3 * kCluster + 1, cleared), 1);
  EXPECT_EQ(cleared.bytes, Expect({20, 21, 22, 23}, 3 * kCluster + 1));

  Link(30, EndOfChain());  // one link of a chain that ended early
  test::MemoryOutputFile shortChain;
  EXPECT_EQ(Copy(30, 5000, shortChain), 1);
  EXPECT_EQ(shortChain.bytes, Expect({30, 31}, 5000));

  test::MemoryOutputFile empty;
  EXPECT_EQ(Copy(40, 0, empty), 1);
  EXPECT_TRUE(empty.bytes.empty());
}

TEST_P(FatDataTest, UnreadableClustersBecomeZerosAndTheVolumeEndStopsTheFile) {
  test::MemoryOutputFile damaged;
  EXPECT_EQ(Copy(50, 3 * kCluster, damaged, ClusterSector(51) + 3), 0);
  Data expected = Expect({50, 0, 52}, 3 * kCluster);
  EXPECT_EQ(damaged.bytes, expected);

  // A size from a damaged entry that would run far past the last cluster.
  const uint32_t last = static_cast<uint32_t>((kSectors - 64 - (fat16 ? 32 : 0)) / 8 + 1);
  test::MemoryOutputFile runaway;
  EXPECT_EQ(Copy(last - 1, 0xFFFFFFFFu, runaway), 0);
  EXPECT_EQ(runaway.bytes, Expect({static_cast<uint8_t>(last - 1), static_cast<uint8_t>(last)}, 2 * kCluster));

  test::MemoryOutputFile full;
  full.FailAfterBytes(kCluster);
  EXPECT_EQ(Copy(50, 3 * kCluster, full), 0);
  EXPECT_EQ(full.bytes.size(), kCluster);
}

INSTANTIATE_TEST_SUITE_P(BothFatKinds, FatDataTest, ::testing::Values(SourceKind::Fat16, SourceKind::Fat32),
                         [](const ::testing::TestParamInfo<SourceKind>& info) {
                           return info.param == SourceKind::Fat16 ? std::string("Fat16") : std::string("Fat32");
                         });

}  // namespace
}  // namespace restora
