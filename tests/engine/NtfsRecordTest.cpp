// SPDX-License-Identifier: GPL-3.0-or-later
// File record checks, run-list decoding and finding the master file table, on good and hostile
// records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "NtfsRecord.h"
#include "ScanDriver.h"
#include "TestSupport.h"

namespace restora {
namespace {

class RecordingSink : public ProgressSink {
 public:
  void Diagnostic(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

constexpr size_t kRecord = 1024;

// A 1024-byte record with the update sequence applied: sequence number 0x0042 at both sector ends,
// the original tail bytes saved in the array at 0x30.
std::vector<uint8_t> MakeRecord(const std::vector<uint8_t>& attributes) {
  std::vector<uint8_t> r(kRecord, 0);
  std::memcpy(r.data(), "FILE", 4);
  StoreU16(r, 4, 0x30);  // update-sequence offset
  StoreU16(r, 6, 3);     // count: the number plus two saved values
  StoreU16(r, 0x14, 0x38);
  StoreU16(r, 0x16, 1);  // in use
  std::memcpy(r.data() + 0x38, attributes.data(), std::min(attributes.size(), kRecord - 0x38));
  StoreU16(r, 0x30, 0x0042);
  for (size_t i = 0; i < 2; ++i) {
    const size_t tail = i * 512 + 510;
    StoreU16(r, 0x32 + 2 * i, LoadU16(r, tail));
    StoreU16(r, tail, 0x0042);
  }
  return r;
}

// A non-resident data attribute whose run list is the given bytes.
std::vector<uint8_t> DataAttribute(const std::vector<uint8_t>& runs) {
  std::vector<uint8_t> a(0x40 + ((runs.size() + 8) & ~size_t{7}), 0);
  StoreU32(a, 0, kAttrData);
  StoreU32(a, 4, static_cast<uint32_t>(a.size()));
  a[8] = 1;
  StoreU16(a, 0x20, 0x40);
  std::memcpy(a.data() + 0x40, runs.data(), runs.size());
  return a;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<uint8_t> kEnd = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};

TEST(NtfsRecord, VerifyRepairsSectorEndsAndReturnsFirstAttributeOffset) {
  EngineState state;
  state.volumeInfo.sectorsPerRecord = 2;
  std::vector<uint8_t> record = MakeRecord(kEnd);
  record[0x32] = 0x11;  // the saved tail of sector 0
  record[0x33] = 0x22;
  EXPECT_EQ(VerifyRecord(state, record), 0x38u);
  EXPECT_EQ(record[510], 0x11);
  EXPECT_EQ(record[511], 0x22);
}

TEST(NtfsRecord, VerifyRefusesBadRecordsAndReportsOnlySequenceMismatch) {
  EngineState state;
  RecordingSink sink;
  state.progress = &sink;
  state.volumeInfo.sectorsPerRecord = 2;
  std::vector<uint8_t> record = MakeRecord(kEnd);
  record[0] = 'B';
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  record = MakeRecord(kEnd);
  record[5] = 1;  // sequence offset beyond 255
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  record = MakeRecord(kEnd);
  record[0x20] = 7;  // an extension record
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  EXPECT_TRUE(sink.lines.empty());

  record = MakeRecord(kEnd);
  record[1022] = 0x43;  // torn write in the second sector
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], "ERROR,FileRecord's Integrity failed,VerifyRecord,");

  // A buffer shorter than the record size the volume declares is refused, not overread.
  record = MakeRecord(kEnd);
  state.volumeInfo.sectorsPerRecord = 4;
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
  state.volumeInfo.sectorsPerRecord = 0;
  EXPECT_EQ(VerifyRecord(state, record), kVerifyRefused);
}

TEST(NtfsRecord, DecodesLengthsSignedOffsetsAndSparseExtents) {
  // 0x21: 1 length byte, 2 offset bytes; then a negative offset, then a sparse extent.
  const std::vector<uint8_t> runs = {0x21, 0x10, 0x00, 0x10,        // 16 clusters at 0x1000
                                     0x11, 0x05, 0xF0,              // 5 clusters at 0x1000 - 16
                                     0x01, 0x07,                    // 7 sparse clusters
                                     0x31, 0x02, 0x00, 0x00, 0x01,  // 2 at 0x1000 - 16 + 0x10000
                                     0x00};
  std::vector<NtfsRun> list{{99, 99}};
  EXPECT_EQ(DecodeDataRuns(runs, 0, list), 1);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].length, 16u);
  EXPECT_EQ(list[0].lcn, 0x1000u);
  EXPECT_EQ(list[1].length, 5u);
  EXPECT_EQ(list[1].lcn, 0x1000u - 16);
  EXPECT_EQ(list[2].length, 7u);
  EXPECT_EQ(list[2].lcn, 0u);
  EXPECT_EQ(list[3].lcn, 0x1000u - 16 + 0x10000);
}

TEST(NtfsRecord, DamagedRunListsEndInsideTheRecord) {
  std::vector<NtfsRun> list;
  // Fields that run past the buffer end the list where it stands.
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>{0x11, 0x04, 0x02, 0x44, 0x01}, 0, list), 1);
  EXPECT_EQ(list.size(), 1u);
  // Fields wider than 8 bytes are damage.
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>{0x19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 0}, 0, list), 1);
  EXPECT_TRUE(list.empty());
  // An offset past the buffer, and a list without an end byte.
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>{0x11, 1, 1}, 50, list), 1);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(DecodeDataRuns(std::vector<uint8_t>{0x11, 1, 1, 0x11, 1, 1}, 0, list), 1);
  EXPECT_EQ(list.size(), 2u);
}

TEST(NtfsRecord, AttributeWalkStopsAtZeroLengthAndAtTheRecordEnd) {
  std::vector<uint8_t> record(64, 0);
  StoreU32(record, 0, 0x10);
  StoreU32(record, 4, 0);  // zero length
  EXPECT_FALSE(AttributeAt(record, 0).has_value());
  StoreU32(record, 4, 65);  // past the record
  EXPECT_FALSE(AttributeAt(record, 0).has_value());
  StoreU32(record, 4, 64);
  ASSERT_TRUE(AttributeAt(record, 0).has_value());
  EXPECT_FALSE(AttributeAt(record, 62).has_value());  // no room for a type
  StoreU32(record, 60, kAttrEnd);
  ASSERT_TRUE(AttributeAt(record, 60).has_value());  // the end marker needs only its type
  EXPECT_EQ(AttributeAt(record, 60)->type, kAttrEnd);
}

// A small volume: boot sector with the table at cluster 2 and its mirror at cluster 6 (4 KiB
// clusters, 1 KiB records).
std::vector<uint8_t> MakeVolume(const std::vector<uint8_t>& record, const std::vector<uint8_t>& mirror) {
  std::vector<uint8_t> v(64 * 1024, 0);
  v[0] = 0xEB;
  StoreU16(v, 0x0B, 512);
  v[0x0D] = 8;
  StoreU32(v, 0x24, 0x00800080);
  StoreU64(v, 0x28, 127);
  StoreU64(v, 0x30, 2);
  StoreU64(v, 0x38, 6);
  v[0x40] = static_cast<uint8_t>(-10);
  v[0x44] = 1;
  v[510] = 0x55;
  v[511] = 0xAA;
  std::copy(record.begin(), record.end(), v.begin() + 2 * 4096);
  std::copy(mirror.begin(), mirror.end(), v.begin() + 6 * 4096);
  return v;
}

TEST(NtfsSetup, LoadsTheTableExtentsAndFallsBackToTheMirror) {
  const std::vector<uint8_t> good = MakeRecord(Concat(DataAttribute({0x11, 0x04, 0x02, 0x11, 0x04, 0x08, 0}), kEnd));
  EngineState state;
  ASSERT_EQ(test::OpenMemorySource(state, MakeVolume(good, {})), 1);
  ASSERT_EQ(state.mftRuns.size(), 2u);
  EXPECT_EQ(state.mftRuns[0].lcn, 2u);
  EXPECT_EQ(state.mftRuns[1].lcn, 10u);
  CleanUp(state);

  std::vector<uint8_t> torn = good;
  torn[510] = 0;  // the first record fails its check; the mirror holds a good copy
  ASSERT_EQ(test::OpenMemorySource(state, MakeVolume(torn, good)), 1);
  EXPECT_EQ(state.mftRuns.size(), 2u);
  CleanUp(state);
  EXPECT_EQ(test::OpenMemorySource(state, MakeVolume(torn, torn)), 0);
  CleanUp(state);
}

TEST(NtfsSetup, HostileTableRecordsAreRefused) {
  EngineState state;
  // No data attribute before the end marker.
  EXPECT_EQ(test::OpenMemorySource(state, MakeVolume(MakeRecord(kEnd), {})), 0);
  CleanUp(state);
  // An attribute of length zero ends the walk.
  std::vector<uint8_t> zero = {0x10, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(test::OpenMemorySource(state, MakeVolume(MakeRecord(zero), {})), 0);
  CleanUp(state);
  // A data attribute whose run list starts past the record.
  std::vector<uint8_t> data = DataAttribute({0x11, 4, 2, 0});
  StoreU16(data, 0x20, 0xFFF0);
  EXPECT_EQ(test::OpenMemorySource(state, MakeVolume(MakeRecord(Concat(data, kEnd)), {})), 0);
  CleanUp(state);
  // A table cluster whose sector number overflows 64 bits.
  std::vector<uint8_t> volume = MakeVolume(MakeRecord(Concat(DataAttribute({0x11, 4, 2, 0}), kEnd)), {});
  StoreU64(volume, 0x30, 0x7FFFFFFFFFFFFFFFull);
  StoreU64(volume, 0x38, 0x7FFFFFFFFFFFFFFFull);
  EXPECT_EQ(test::OpenMemorySource(state, volume), 0);
  CleanUp(state);
}

}  // namespace
}  // namespace restora
