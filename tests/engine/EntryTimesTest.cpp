// SPDX-License-Identifier: GPL-3.0-or-later
// The times a saved file takes from its entry: NTFS times as UTC, FAT times as local time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "EntryTimes.h"

namespace restora {
namespace {

// FAT date and time of 2021-03-04 05:06:08.
constexpr uint16_t kDate = ((2021 - 1980) << 9) | (3 << 5) | 4;
constexpr uint16_t kTime = (5 << 11) | (6 << 5) | (8 / 2);
constexpr int64_t kUtcSeconds = 1614834368;  // 2021-03-04 05:06:08 UTC

class EntryTimesTest : public ::testing::Test {
 protected:
  void SetZone(const char* zone) { ::setenv("TZ", zone, 1), ::tzset(); }
  void TearDown() override { ::unsetenv("TZ"), ::tzset(); }
  EngineState state_;
};

TEST_F(EntryTimesTest, FatTimesAreLocalTimes) {
  state_.volumeInfo.kind = SourceKind::Fat32;
  struct Case {
    const char* zone;
    uint64_t modified;  // stamp as the scan keeps it
    uint16_t modifiedDate;
    int64_t seconds;
  };
  const Case cases[] = {
      {"UTC0", uint64_t{kDate} << 16 | kTime, kDate, kUtcSeconds},
      {"CET-1", uint64_t{kDate} << 16 | kTime, kDate, kUtcSeconds - 3600},  // written one hour east
      {"UTC0", 0, kDate, kUtcSeconds - (5 * 3600 + 6 * 60 + 8)},           // from a scan file: the date
  };
  for (const Case& c : cases) {
    SetZone(c.zone);
    ScanNode node;
    node.modified = c.modified, node.modifiedDate = c.modifiedDate;
    const EntryTimes times = EntryTimesOf(state_, node);
    ASSERT_TRUE(times.known) << c.zone;
    EXPECT_EQ(times.modifiedSeconds, c.seconds) << c.zone;
  }
  ScanNode undated, found;  // date 0 is no day; a found file has no entry
  found.modifiedDate = kDate, found.carveSource = kCarveVolume;
  EXPECT_FALSE(EntryTimesOf(state_, undated).known || EntryTimesOf(state_, found).known);
}

TEST_F(EntryTimesTest, NtfsTimesAreUtcWhateverTheZone) {
  SetZone("CET-1");
  state_.volumeInfo.kind = SourceKind::Ntfs;
  ScanNode node;
  node.modified = 116444736000000000ull + uint64_t(kUtcSeconds) * 10000000 + 1234567;
  const EntryTimes times = EntryTimesOf(state_, node);
  ASSERT_TRUE(times.known);
  EXPECT_EQ(times.modifiedSeconds, kUtcSeconds);
  EXPECT_EQ(times.modifiedNanos, 123456700u);
  node.modified = 5;  // before 1970
  EXPECT_FALSE(EntryTimesOf(state_, node).known);
}

}  // namespace
}  // namespace restora
