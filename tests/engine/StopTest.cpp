// SPDX-License-Identifier: GPL-3.0-or-later
// A stop request at every point of every scan job: the job ends at once with 0, does no further
// reading or reporting, and leaves a numbered, consistent tree of entries that are really there,
// growing with the point of the stop; nothing stays behind in the node pool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JobChecks.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::JobRun;
using test::ScanJobKind;

// The checkpoints of a whole run; every k up to it is tried when there are few, else a spread.
std::vector<uint64_t> StopPoints(uint64_t checkpoints) {
  std::vector<uint64_t> points;
  const uint64_t step = checkpoints <= 400 ? 1 : checkpoints / 300;
  for (uint64_t k = 1; k <= checkpoints; k += step) points.push_back(k);
  if (points.back() != checkpoints) points.push_back(checkpoints);
  return points;
}

void StopEverywhere(std::span<const uint8_t> volume, ScanJobKind job) {
  JobRun whole;
  whole.Run(volume, job);
  ASSERT_EQ(whole.opened, 1);
  ASSERT_EQ(whole.result, 1);
  const auto everything = test::FoundFiles(whole.state);
  const uint64_t checkpoints = whole.sink.checkpoints;
  ASSERT_GT(checkpoints, 10u) << JobName(job);

  size_t previousCount = 0;
  int failures = 0;
  for (uint64_t k : StopPoints(checkpoints)) {
    if (failures > 5) break;
    JobRun run;
    run.Run(volume, job, {}, k);
    const std::string where = std::string(JobName(job)) + ", stop at check " + std::to_string(k) + " of " +
                              std::to_string(checkpoints);
    const auto consistent = test::NumberedAndConsistent(run.state);
    const auto found = test::FoundFiles(run.state);
    const bool ok = run.result == 0 && run.sink.checkpointsAfterStop == 0 && run.sink.stepsAfterStop == 0 &&
                    run.readsAfterStop == 0 && consistent && test::Missing(found, everything).empty() &&
                    found.size() >= previousCount;
    EXPECT_EQ(run.result, 0) << where;
    EXPECT_EQ(run.sink.checkpointsAfterStop, 0u) << where << ": went on asking";
    EXPECT_EQ(run.sink.stepsAfterStop, 0u) << where << ": went on reporting";
    EXPECT_EQ(run.readsAfterStop, 0u) << where << ": went on reading";
    EXPECT_TRUE(consistent) << where;
    EXPECT_TRUE(test::Missing(found, everything).empty()) << where << ": lists what is not there";
    EXPECT_GE(found.size(), previousCount) << where << ": a later stop keeps less";
    previousCount = found.size();
    CleanUp(run.state);
    EXPECT_EQ(run.state.pool.LiveCount(), 0u) << where;
    if (!ok) ++failures;
  }
  EXPECT_EQ(previousCount, everything.size()) << JobName(job) << ": a stop at the last check keeps everything";

  JobRun late;  // a stop asked for after the last check comes too late to matter
  late.Run(volume, job, {}, checkpoints + 1);
  EXPECT_EQ(late.result, 1) << JobName(job);
  EXPECT_EQ(test::FoundFiles(late.state), everything) << JobName(job);
}

TEST(Stop, EveryScanJobOnASmallNtfsVolumeStopsAtEveryCheck) {
  const std::vector<uint8_t> volume = test::BuildNtfsJobVolume();
  for (ScanJobKind job : {ScanJobKind::FastScan, ScanJobKind::LostFileSearch, ScanJobKind::DiskSearch}) {
    StopEverywhere(volume, job);
  }
}

TEST(Stop, EveryScanJobOnSmallFat16AndFat32VolumesStopsAtEveryCheck) {
  for (test::FatWidth width : {test::FatWidth::Fat16, test::FatWidth::Fat32}) {
    SCOPED_TRACE(width == test::FatWidth::Fat16 ? "FAT16" : "FAT32");
    const std::vector<uint8_t> volume = test::BuildFatJobVolume(width).bytes;
    StopEverywhere(volume, ScanJobKind::FastScan);
    StopEverywhere(volume, ScanJobKind::LostFileSearch);
  }
}

TEST(Stop, FastScanOfARealNtfsVolume) {
  const std::string corpus = test::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "the sample volumes are not there";
  // (The FAT samples ask too seldom to be worth it: their walks have a handful of folders.)
  const std::vector<uint8_t> volume = test::ReadWholeFile(corpus + "/dftt-ntfs-7-undel.img");
  ASSERT_FALSE(volume.empty());
  StopEverywhere(volume, ScanJobKind::FastScan);
}

}  // namespace
}  // namespace restora
