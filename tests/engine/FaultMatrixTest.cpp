// SPDX-License-Identifier: GPL-3.0-or-later
// Every job on every small volume under every fault of a failing medium: a failed sector swept
// over the volume, reads cut short, a source that dies after k reads, and a stop at every check.
// A scan ends with a numbered, consistent tree that lists nothing the healthy medium does not
// hold and loses only what lies on a failed sector; an image holds zeros exactly where reads
// failed; a save stays inside DEST/# and fills files only with the healthy bytes or zeros; a
// stopped job does nothing more, keeps a prefix of whole blocks or whole files, and returns 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ImageFile.h"
#include "JobVolumes.h"

namespace restora {
namespace {

using test::FoundEntry;
using test::Job;
using test::JobRun;

enum class Fault { FailedSector, ShortReads, DiesAfterReads, StopAtCheck };
constexpr const char* kFaultNames[] = {"FailedSector", "ShortReads", "DiesAfterReads", "StopAtCheck"};

const std::vector<test::JobVolume>& Volumes() {
  static const std::vector<test::JobVolume> volumes = test::JobVolumes();
  return volumes;
}

bool IsScan(Job job) { return job == Job::FastScan || job == Job::LostFileSearch || job == Job::DiskSearch; }
bool IsSave(Job job) { return job == Job::SaveFiles || job == Job::SaveFound; }

class FaultMatrix : public ::testing::TestWithParam<std::tuple<int, Job, Fault>> {
 protected:
  const test::JobVolume& volume = Volumes()[std::get<0>(GetParam())];
  const Job job = std::get<1>(GetParam());
  const Fault fault = std::get<2>(GetParam());
  const uint64_t sectors = volume.bytes.size() / 512;

  // The source with the given 63-sector blocks zeroed, padded to whole blocks.
  std::vector<uint8_t> ExpectedImage(std::set<uint64_t> zeroBlocks) const {
    std::vector<uint8_t> bytes = volume.bytes;
    bytes.resize(ImageBlockCount(sectors) * kImageBlockBytes);
    for (uint64_t block : zeroBlocks) {
      std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(block * kImageBlockBytes), kImageBlockBytes, 0);
    }
    return bytes;
  }

  // Whether a failed sector may take a found entry away: a found file when the sector lies in
  // its 63-sector search block; on NTFS a file whose record holds it; on FAT any file when the
  // sector is one the walk reads (what lies below a folder goes with it).
  bool MayLose(const FoundEntry& entry, uint64_t sector, uint64_t sectorsPerRecord) const {
    const uint64_t where = std::get<2>(entry);
    if (std::get<3>(entry)) return where / 63 == sector / 63;
    if (volume.ntfs) return where <= sector && sector < where + sectorsPerRecord;
    return volume.sectorsReadByScan.count(sector) == 1;
  }

  // The checks every faulty run shares; returns whether the run lost or changed anything.
  bool CheckAgainst(const JobRun& run, const JobRun& healthy, const std::string& where, bool stopped = false) const {
    if (IsScan(job)) {
      EXPECT_EQ(test::TreeFault(run.state), "") << where;
      for (const FoundEntry& extra : test::Missing(run.found, healthy.found)) {
        ADD_FAILURE() << where << ": lists " << std::get<0>(extra) << " that is not there";
      }
      return run.found != healthy.found;
    }
    if (job == Job::Image) {
      if (!stopped) { EXPECT_EQ(run.image.size(), healthy.image.size()) << where; }
      EXPECT_TRUE(test::ZerosWhereReadsFailed(run.image, healthy.image)) << where << ": other bytes";
      return run.image != healthy.image;
    }
    EXPECT_FALSE(run.escaped) << where;
    if (!stopped) { EXPECT_EQ(run.saved.size(), healthy.saved.size()) << where << ": every entry is still created"; }
    size_t differing = 0;
    for (const auto& [path, content] : run.saved) {
      const auto match = healthy.saved.find(path);
      if (match == healthy.saved.end()) {
        ADD_FAILURE() << where << ": saved " << path << " that a healthy save does not";
      } else if (content != match->second) {
        ++differing;
        EXPECT_TRUE(test::ZerosWhereReadsFailed(content, match->second)) << where << ": " << path << " holds other bytes";
      }
    }
    return differing > 0;
  }
};

TEST_P(FaultMatrix, EndsSoundly) {
  const JobRun healthy(volume.bytes, job);
  ASSERT_EQ(healthy.opened, 1);
  ASSERT_EQ(healthy.result, 1);
  if (IsScan(job)) { ASSERT_EQ(test::TreeFault(healthy.state), ""); }
  if (job == Job::Image) { ASSERT_EQ(healthy.image, ExpectedImage({})); }
  if (IsSave(job)) { ASSERT_GE(healthy.saved.size(), 4u); }
  ASSERT_FALSE(healthy.escaped);
  const uint64_t sectorsPerRecord = healthy.state.volumeInfo.sectorsPerRecord;
  const uint64_t reads = healthy.faults->ReadCount();
  uint64_t runsThatLost = 0;

  switch (fault) {
    case Fault::FailedSector: {
      // Scans: every sector the walk or the table scan reads and a sample of the rest; imaging
      // and saves, which meet the fault after a healthy scan, a sample.
      std::set<uint64_t> sample;
      if (IsScan(job)) sample.insert(volume.sectorsReadByScan.begin(), volume.sectorsReadByScan.end());
      for (uint64_t s = 0; s < sectors; s += !IsScan(job) ? 23 : volume.ntfs && s < 192 ? 1 : 7) sample.insert(s);
      for (uint64_t bad : sample) {
        const JobRun run(volume.bytes, job, [bad](FaultInjectingReader& f) { f.FailSector(bad); });
        const std::string where = "sector " + std::to_string(bad);
        if (bad == 0 && IsScan(job) && job != Job::DiskSearch) {
          EXPECT_EQ(run.opened, 0) << where << ": a volume without its boot sector cannot be told";
          continue;
        }
        ASSERT_EQ(run.opened, 1) << where;
        ASSERT_EQ(run.result, 1) << where;
        runsThatLost += CheckAgainst(run, healthy, where);
        if (IsScan(job)) {
          for (const FoundEntry& lost : test::Missing(healthy.found, run.found)) {
            EXPECT_TRUE(MayLose(lost, bad, sectorsPerRecord)) << where << ": lost " << std::get<0>(lost);
          }
        }
        if (job == Job::Image) { EXPECT_EQ(run.image, ExpectedImage({bad / 63})) << where; }
        if (job == Job::SaveFiles && volume.ntfs) {
          size_t differing = 0;
          for (const auto& [path, content] : run.saved) differing += healthy.saved.count(path) && content != healthy.saved.at(path);
          EXPECT_LE(differing, 1u) << where << " lies in one file's data at most";
        }
        if (HasFailure()) return;
      }
      EXPECT_GT(runsThatLost, 0u) << "no failed sector cost anything: the sweep proves nothing";
      break;
    }
    case Fault::ShortReads:
      for (size_t limit : {size_t{1}, size_t{511}, size_t{512}, size_t{700}, size_t{4096}, size_t{1} << 20}) {
        const JobRun run(volume.bytes, job, [limit](FaultInjectingReader& f) { f.LimitReadsTo(limit); });
        const std::string where = "reads of at most " + std::to_string(limit);
        if (run.opened != 1) {
          EXPECT_LT(limit, std::max<uint64_t>(512, sectorsPerRecord * 512)) << where << ": set-up reads whole records";
          continue;
        }
        EXPECT_EQ(run.result, 1) << where;
        CheckAgainst(run, healthy, where);
        if (limit >= volume.bytes.size() && IsScan(job)) { EXPECT_EQ(run.found, healthy.found) << where; }
      }
      break;
    case Fault::DiesAfterReads:
      for (uint64_t k = 0; k <= reads + 1; k += IsScan(job) ? 1 : 3) {
        const JobRun run(volume.bytes, job, [k](FaultInjectingReader& f) { f.FailAfterReads(k); });
        const std::string where = "dead after " + std::to_string(k) + " reads";
        if (run.opened != 1) {
          EXPECT_LT(k, 4u) << where << ": only the set-up reads decide whether the volume opens";
          continue;
        }
        EXPECT_EQ(run.result, 1) << where;
        CheckAgainst(run, healthy, where);
        if (k >= reads && IsScan(job)) { EXPECT_EQ(run.found, healthy.found) << where; }
      }
      break;
    case Fault::StopAtCheck: {
      size_t previous = 0;
      for (uint64_t k = 1;; ++k) {
        const JobRun run(volume.bytes, job, {}, k);
        const std::string where = "stop at check " + std::to_string(k);
        if (!run.sink.stopped) {  // a stop asked for after the last check comes too late to matter
          EXPECT_EQ(run.result, 1) << where;
          EXPECT_EQ(run.found, healthy.found);
          EXPECT_EQ(run.image, healthy.image);
          EXPECT_EQ(run.saved, healthy.saved);
          EXPECT_GT(k, 3u) << "a job asks seldom";
          break;
        }
        EXPECT_EQ(run.result, 0) << where;
        if (IsScan(job)) {  // a save finishes the file it is copying
          EXPECT_EQ(run.sink.checkpointsAfterStop, 0u) << where << ": went on asking";
          EXPECT_EQ(run.sink.stepsAfterStop, 0u) << where << ": went on reporting";
          EXPECT_EQ(run.readsAfterStop, 0u) << where << ": went on reading";
        }
        CheckAgainst(run, healthy, where, true);
        size_t kept = run.found.size();
        if (job == Job::Image) {
          kept = run.image.size();
          EXPECT_EQ(run.image.size(), run.imageBlocks * kImageBlockBytes) << where;
          EXPECT_TRUE(std::equal(run.image.begin(), run.image.end(), healthy.image.begin())) << where << ": no prefix";
        }
        if (IsSave(job)) {
          kept = run.saved.size();
          for (const auto& [path, content] : run.saved) {
            EXPECT_TRUE(healthy.saved.count(path) && content == healthy.saved.at(path)) << where << ": " << path << " is not whole";
          }
        }
        EXPECT_GE(kept, previous) << where << ": a later stop keeps less";
        previous = kept;
        if (HasFailure()) return;
        ASSERT_LT(k, 100000u) << "the job never ends";
      }
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    VolumeJobFault, FaultMatrix,
    ::testing::Combine(::testing::Values(0, 1, 2),
                       ::testing::Values(Job::FastScan, Job::LostFileSearch, Job::DiskSearch, Job::Image, Job::SaveFiles,
                                         Job::SaveFound),
                       ::testing::Values(Fault::FailedSector, Fault::ShortReads, Fault::DiesAfterReads, Fault::StopAtCheck)),
    [](const auto& info) {
      return Volumes()[std::get<0>(info.param)].name + "_" + test::JobName(std::get<1>(info.param)) + "_" +
             kFaultNames[static_cast<int>(std::get<2>(info.param))];
    });

}  // namespace
}  // namespace restora
