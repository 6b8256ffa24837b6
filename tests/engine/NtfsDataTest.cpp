// SPDX-License-Identifier: GPL-3.0-or-later
// An NTFS entry's data through its file record: resident data, extents cut to the real size,
// the initialized size, sparse extents, compression units that are compressed, stored whole or
// end the data, named streams, hostile records; and real volumes against The Sleuth Kit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FaultInjectingReader.h"
#include "Lznt1Compressor.h"
#include "NtfsData.h"
#include "NtfsRecord.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

constexpr uint64_t kCluster = 4096;
constexpr uint64_t kUnit = 16 * kCluster;
constexpr uint64_t kClusters = 1280;  // a 5 MiB volume
constexpr uint64_t kRecordSector = 16;

using Data = std::vector<uint8_t>;

void Put16(Data& d, size_t at, uint16_t v) { d[at] = static_cast<uint8_t>(v), d[at + 1] = static_cast<uint8_t>(v >> 8); }
void Put32(Data& d, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i)); }
void Put64(Data& d, size_t at, uint64_t v) { for (int i = 0; i < 8; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i)); }

// One extent of a run list: length clusters at lcn, or sparse when lcn is 0.
struct Extent {
  uint64_t length;
  uint64_t lcn;
};

Data RunList(const std::vector<Extent>& extents) {
  Data out;
  int64_t previous = 0;
  for (const Extent& e : extents) {
    Data length, offset;
    for (uint64_t v = e.length; v != 0 || length.empty(); v >>= 8) length.push_back(static_cast<uint8_t>(v));
    if (e.lcn != 0) {
      int64_t delta = static_cast<int64_t>(e.lcn) - previous;
      previous = static_cast<int64_t>(e.lcn);
      do {
        offset.push_back(static_cast<uint8_t>(delta));
        delta >>= 8;
      } while (!((delta == 0 && (offset.back() & 0x80) == 0) || (delta == -1 && (offset.back() & 0x80) != 0)));
    }
    out.push_back(static_cast<uint8_t>(length.size() | (offset.size() << 4)));
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), offset.begin(), offset.end());
  }
  out.push_back(0);
  return out;
}

Data Named(const std::u16string& name, size_t& nameBytes) {
  Data out;
  for (char16_t c : name) out.push_back(static_cast<uint8_t>(c)), out.push_back(static_cast<uint8_t>(c >> 8));
  nameBytes = out.size();
  return out;
}

Data ResidentData(const Data& value, const std::u16string& name = u"") {
  size_t nameBytes = 0;
  const Data nameData = Named(name, nameBytes);
  const size_t valueOffset = (0x18 + nameBytes + 7) / 8 * 8;
  Data a((valueOffset + value.size() + 7) / 8 * 8, 0);
  Put32(a, 0, 0x80);
  Put32(a, 4, static_cast<uint32_t>(a.size()));
  a[9] = static_cast<uint8_t>(name.size());
  Put16(a, 0x0A, 0x18);
  std::copy(nameData.begin(), nameData.end(), a.begin() + 0x18);
  Put32(a, 0x10, static_cast<uint32_t>(value.size()));
  Put16(a, 0x14, static_cast<uint16_t>(valueOffset));
  std::copy(value.begin(), value.end(), a.begin() + static_cast<std::ptrdiff_t>(valueOffset));
  return a;
}

Data NonResidentData(const std::vector<Extent>& extents, uint64_t realSize, uint64_t initializedSize,
                     bool compressed = false) {
  const Data runs = RunList(extents);
  Data a((0x40 + runs.size() + 7) / 8 * 8, 0);
  Put32(a, 0, 0x80);
  Put32(a, 4, static_cast<uint32_t>(a.size()));
  a[8] = 1;
  Put16(a, 0x0A, 0x40);
  Put16(a, 0x0C, compressed ? 0x0001 : 0);
  Put16(a, 0x20, 0x40);
  a[0x22] = compressed ? 4 : 0;
  Put64(a, 0x30, realSize);
  Put64(a, 0x38, initializedSize);
  std::copy(runs.begin(), runs.end(), a.begin() + 0x40);
  return a;
}

// A 1024-byte deleted file record holding the given attributes, with its update sequence applied.
Data Record(const std::vector<Data>& attributes) {
  Data r(1024, 0);
  std::copy_n("FILE", 4, r.begin());
  Put16(r, 4, 0x30);
  Put16(r, 6, 3);
  Put16(r, 0x14, 0x38);
  size_t at = 0x38;
  for (const Data& a : attributes) {
    std::copy(a.begin(), a.end(), r.begin() + static_cast<std::ptrdiff_t>(at));
    at += a.size();
  }
  Put32(r, at, 0xFFFFFFFF);
  Put16(r, 0x30, 0x0007);
  for (size_t i = 0; i < 2; ++i) {
    r[0x32 + 2 * i] = r[i * 512 + 510];
    r[0x33 + 2 * i] = r[i * 512 + 511];
    Put16(r, i * 512 + 510, 0x0007);
  }
  return r;
}

class NtfsDataTest : public ::testing::Test {
 protected:
  // Clusters 100 to 999 hold noise; the rest stays zero.
  static const Data& NoisyVolume() {
    static const Data bytes = [] {
      Data v(kClusters * kCluster, 0);
      uint32_t seed = 99;
      for (size_t i = 100 * kCluster; i < 1000 * kCluster; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[i] = static_cast<uint8_t>(seed >> 24);
      }
      return v;
    }();
    return bytes;
  }

  void SetUp() override {
    volume = NoisyVolume();
    state.volumeInfo.kind = SourceKind::Ntfs;
    state.volumeInfo.totalSectors = kClusters * 8;
    state.volumeInfo.ntfsSectorsPerCluster = 8;
    state.volumeInfo.sectorsPerRecord = 2;
    node.location = kRecordSector;
  }

  // Writes the record and runs the copy on the volume as it stands.
  int Copy(const Data& record, test::MemoryOutputFile& out) {
    std::copy(record.begin(), record.end(), volume.begin() + kRecordSector * kSectorSize);
    if (!faults) state.deviceHandle = std::make_unique<MemorySourceReader>(volume);
    return CopyNtfsData(state, node, out);
  }

  Data Clusters(uint64_t lcn, uint64_t count) const {
    return Data(volume.begin() + static_cast<std::ptrdiff_t>(lcn * kCluster),
                volume.begin() + static_cast<std::ptrdiff_t>((lcn + count) * kCluster));
  }

  void Place(uint64_t lcn, const Data& bytes) {
    std::copy(bytes.begin(), bytes.end(), volume.begin() + static_cast<std::ptrdiff_t>(lcn * kCluster));
  }

  Data volume;
  EngineState state;
  ScanNode node;
  bool faults = false;
};

Data Cut(Data data, size_t size) {
  data.resize(size);
  return data;
}

Data Join(std::initializer_list<Data> parts) {
  Data out;
  for (const Data& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST_F(NtfsDataTest, ResidentDataIsWrittenWithExactlyItsBytes) {
  const Data value = Cut(Clusters(100, 1), 300);
  test::MemoryOutputFile out;
  EXPECT_EQ(Copy(Record({ResidentData(value)}), out), 1);
  EXPECT_EQ(out.bytes, value);
}

TEST_F(NtfsDataTest, ExtentsAreReadInOrderAndCutToTheRealSize) {
  test::MemoryOutputFile out;
  EXPECT_EQ(Copy(Record({NonResidentData({{3, 100}}, 10000, 10000)}), out), 1);
  EXPECT_EQ(out.bytes, Cut(Clusters(100, 3), 10000));

  // A fragmented file: its second extent lies before the first on the volume.
  test::MemoryOutputFile fragmented;
  EXPECT_EQ(Copy(Record({NonResidentData({{2, 300}, {1, 120}, {20, 500}}, 22 * kCluster + 5, 22 * kCluster + 5)}),
                 fragmented), 1);
  EXPECT_EQ(fragmented.bytes, Cut(Join({Clusters(300, 2), Clusters(120, 1), Clusters(500, 20)}), 22 * kCluster + 5));
}

TEST_F(NtfsDataTest, BytesPastTheInitializedSizeReadAsZeros) {
  test::MemoryOutputFile out;
  EXPECT_EQ(Copy(Record({NonResidentData({{3, 100}}, 10000, 5000)}), out), 1);
  Data expected = Cut(Clusters(100, 3), 10000);
  std::fill(expected.begin() + 5000, expected.end(), 0);
  EXPECT_EQ(out.bytes, expected);
}

TEST_F(NtfsDataTest, SparseExtentsOfAnUncompressedFileReadAsZerosOfTheirLength) {
  // A sparse file that starts with a hole, holds a cluster of zeros before another hole (which
  // reads like an LZNT1 end mark, yet the file is not compressed), and ends with a hole.
  test::MemoryOutputFile out;
  const uint64_t size = 9 * kCluster - 100;
  EXPECT_EQ(Copy(Record({NonResidentData({{2, 0}, {1, 1250}, {2, 0}, {2, 200}, {2, 0}}, size, size)}), out), 1);
  const Data zeros2(2 * kCluster, 0);
  EXPECT_EQ(out.bytes, Cut(Join({zeros2, Data(kCluster, 0), zeros2, Clusters(200, 2), zeros2}), size));
}

TEST_F(NtfsDataTest, CompressionUnitsAreDecompressedStoredOrLeftAsHoles) {
  // Unit 0: compressed text; units 1 and 2: stored whole (16 clusters each, back to back, so
  // unit 1 is written when the 17th cluster arrives); unit 3: a hole; unit 4: the last 3000
  // bytes, compressed into one cluster.
  std::string text;
  for (int line = 0; text.size() < kUnit; ++line) text += "line " + std::to_string(line * 7919 % 10007) + " of the log\n";
  const Data unit0(text.begin(), text.begin() + kUnit);
  const Data tail(text.begin() + 1000, text.begin() + 4000);
  Data packed0 = test::CompressLznt1(unit0);
  const uint64_t clusters0 = (packed0.size() + kCluster - 1) / kCluster;
  ASSERT_LT(clusters0, 16u);
  packed0.resize(clusters0 * kCluster, 0);
  Place(1100, packed0);
  Data packed4 = test::CompressLznt1(tail);
  ASSERT_LE(packed4.size(), kCluster);
  packed4.resize(kCluster, 0);
  Place(1200, packed4);

  const uint64_t size = 4 * kUnit + tail.size();
  const Data record = Record({NonResidentData(
      {{clusters0, 1100}, {16 - clusters0, 0}, {32, 300}, {16, 0}, {1, 1200}, {15, 0}}, size, size, true)});
  test::MemoryOutputFile out;
  EXPECT_EQ(Copy(record, out), 1);
  const Data expected = Join({unit0, Clusters(300, 32), Data(kUnit, 0), tail});
  ASSERT_EQ(out.bytes.size(), expected.size());
  EXPECT_EQ(out.bytes, expected);

  // The same stored units at the very end of the data are written unchanged.
  test::MemoryOutputFile stored;
  EXPECT_EQ(Copy(Record({NonResidentData({{32, 300}}, 2 * kUnit - 10, 2 * kUnit - 10, true)}), stored), 1);
  EXPECT_EQ(stored.bytes, Cut(Clusters(300, 32), 2 * kUnit - 10));
}

TEST_F(NtfsDataTest, TheFirstDataAttributeWithContentDecides) {
  const Data stream = Cut(Clusters(400, 1), 600);
  test::MemoryOutputFile out;
  EXPECT_EQ(Copy(Record({ResidentData({}), ResidentData(stream, u"ADS")}), out), 1);
  EXPECT_EQ(out.bytes, stream);

  // An unnamed attribute that is non-resident with nothing initialized passes too.
  test::MemoryOutputFile second;
  EXPECT_EQ(Copy(Record({NonResidentData({{1, 100}}, 4096, 0), NonResidentData({{1, 400}}, 600, 600)}), second), 1);
  EXPECT_EQ(second.bytes, stream);

  // No data attribute with content: an empty file.
  test::MemoryOutputFile empty;
  EXPECT_EQ(Copy(Record({ResidentData({})}), empty), 1);
  EXPECT_TRUE(empty.bytes.empty());
}

TEST_F(NtfsDataTest, DamagedRecordsAndHostileRunListsEndTheCopySafely) {
  test::MemoryOutputFile out;
  Data record = Record({ResidentData(Data(300, 'x'))});
  record[0] = 'B';  // "BILE"
  EXPECT_EQ(Copy(record, out), 0);
  record = Record({ResidentData(Data(300, 'x'))});
  record[510] ^= 1;  // the update sequence no longer matches
  EXPECT_EQ(Copy(record, out), 0);
  record = Record({ResidentData(Data(300, 'x'))});
  Put16(record, 0x38 + 0x14, 0x300);  // the value would lie past its attribute
  EXPECT_EQ(Copy(record, out), 0);
  EXPECT_TRUE(out.bytes.empty());

  // An extent far past the volume ends the copy after what came before it.
  EXPECT_EQ(Copy(Record({NonResidentData({{1, 100}, {4, 1000000000}}, 5 * kCluster, 5 * kCluster)}), out), 0);
  EXPECT_EQ(out.bytes, Clusters(100, 1));

  // Huge holes and a huge real size: the file is still cut at the real size, with zeros.
  test::MemoryOutputFile holes;
  EXPECT_EQ(Copy(Record({NonResidentData({{0xFFFFFFFF, 0}, {1, 100}}, 3 * kCluster, 3 * kCluster)}), holes), 1);
  EXPECT_EQ(holes.bytes, Data(3 * kCluster, 0));

  // A run list whose length fields are wider than 8 bytes stops there.
  Data attribute = NonResidentData({{2, 100}}, 2 * kCluster, 2 * kCluster);
  attribute[0x40] = 0x1F;  // 15 length bytes
  test::MemoryOutputFile wide;
  EXPECT_EQ(Copy(Record({attribute}), wide), 0);  // none of the file's clusters: not whole
  EXPECT_EQ(wide.bytes.size(), 0u);
}

TEST_F(NtfsDataTest, AReadOrWriteFailureEndsTheCopyWithWhatWasWritten) {
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(volume));
  reader->FailSector(100 * 8 + 16 * 8);  // the first cluster of the second unit
  state.deviceHandle = std::move(reader);
  faults = true;
  test::MemoryOutputFile out;
  EXPECT_EQ(CopyNtfsData(state, node, out), 0);  // the record itself is all zeros here

  std::copy_n(Record({NonResidentData({{40, 100}}, 40 * kCluster, 40 * kCluster)}).begin(), 1024,
              volume.begin() + kRecordSector * kSectorSize);
  reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(volume));
  reader->FailSector(100 * 8 + 16 * 8);
  state.deviceHandle = std::move(reader);
  EXPECT_EQ(CopyNtfsData(state, node, out), 0);
  EXPECT_EQ(out.bytes, Clusters(100, 16));

  state.deviceHandle = std::make_unique<MemorySourceReader>(volume);
  test::MemoryOutputFile full;
  full.FailAfterBytes(1000);
  EXPECT_EQ(CopyNtfsData(state, node, full), 0);
}

// ---- Real volumes, checked against icat of The Sleuth Kit ----

Data RunCommand(const std::string& command) {
  Data out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + got);
  ::pclose(pipe);
  return out;
}

bool HaveIcat() { return std::system("icat -V > /dev/null 2>&1") == 0; }

// The volume sector of file record number through the table's extents.
uint64_t RecordSector(const EngineState& state, uint64_t number) {
  const uint64_t clusterBytes = uint64_t{state.volumeInfo.ntfsSectorsPerCluster} * kSectorSize;
  uint64_t offset = number * RecordBytes(state.volumeInfo);
  for (const NtfsRun& run : state.mftRuns) {
    if (offset < run.length * clusterBytes) return (run.lcn * clusterBytes + offset) / kSectorSize;
    offset -= run.length * clusterBytes;
  }
  return 0;
}

TEST(NtfsDataOnRealVolumes, DeletedFilesOfAWindowsXpVolumeMatchTheSleuthKit) {
  const std::string image = test::CorpusFolder() + "/dftt-ntfs-7-undel.img";
  Data bytes = test::ReadWholeFile(image);
  if (bytes.empty() || !HaveIcat()) GTEST_SKIP() << "needs the corpus image and icat";
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, bytes), 1);
  // Resident, single-cluster, fragmented, contiguous (with a stream after the data), in a
  // deleted folder, and with a reused parent.
  for (uint64_t number : {29, 30, 31, 32, 35, 36, 37, 38}) {
    ScanNode node;
    node.location = RecordSector(state, number);
    test::MemoryOutputFile out;
    EXPECT_EQ(CopyNtfsData(state, node, out), 1) << number;
    const Data expected = RunCommand("icat -r '" + image + "' " + std::to_string(number));
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(out.bytes, expected) << "record " << number;
  }
}

TEST(NtfsDataOnRealVolumes, WindowsCompressedUnitsMatchTheSleuthKit) {
  // ones.bin keeps its data in extension record 39 (VCN 0 to 1391); seen as a base record (the
  // reference to its base cleared in memory) its units decompress to the start of the file.
  const std::string image = test::CorpusFolder() + "/velociraptor-ntfs-compressed.img";
  Data bytes = test::ReadWholeFile(image);
  if (bytes.empty() || !HaveIcat()) GTEST_SKIP() << "needs the corpus image and icat";
  EngineState probe;
  ASSERT_EQ(test::OpenMemorySource(probe, bytes), 1);
  const uint64_t sector = RecordSector(probe, 39);
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize + 0x20), 8, 0);
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, bytes), 1);
  ScanNode node;
  node.location = sector;
  test::MemoryOutputFile out;
  EXPECT_EQ(CopyNtfsData(state, node, out), 1);
  const Data whole = RunCommand("icat '" + image + "' 38");
  ASSERT_EQ(whole.size(), 2949120u);
  ASSERT_EQ(out.bytes.size(), 1392u * 1024u);
  EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), whole.begin()));
}

}  // namespace
}  // namespace restora
