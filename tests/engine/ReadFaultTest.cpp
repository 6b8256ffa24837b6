// SPDX-License-Identifier: GPL-3.0-or-later
// Every scan job over a failing medium: a read error at each sector of a small volume, reads cut
// short, a source that dies after k reads. Each run must end with a numbered, consistent tree
// that lists nothing the healthy medium does not hold, and lose only what lies on the bad sector.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "JobChecks.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::FoundEntry;
using test::JobRun;
using test::ScanJobKind;

constexpr ScanJobKind kJobs[] = {ScanJobKind::FastScan, ScanJobKind::LostFileSearch, ScanJobKind::DiskSearch};

std::string Describe(const FoundEntry& entry) {
  return std::get<0>(entry) + " @" + std::to_string(test::Where(entry)) + (test::Carved(entry) ? " (found)" : "");
}

// Whether a failed sector may take an entry away.
using MayLose = std::function<bool(const FoundEntry& entry, uint64_t sector)>;

// A found file, when the sector lies in its 63-sector search block.
bool SameSearchBlock(const FoundEntry& entry, uint64_t sector) { return test::Where(entry) / 63 == sector / 63; }

// On NTFS: a listed file whose own record touches the sector, or a found file in its block.
MayLose NtfsMayLose(uint64_t sectorsPerRecord) {
  return [sectorsPerRecord](const FoundEntry& entry, uint64_t sector) {
    if (test::Carved(entry)) return SameSearchBlock(entry, sector);
    return test::Where(entry) <= sector && sector < test::Where(entry) + sectorsPerRecord;
  };
}

// On FAT: a listed file when the sector is one the walk reads (a FAT sector, the root area or a
// folder's cluster: what lies below a folder goes with it), or a found file in its block.
MayLose FatMayLose(const std::set<uint64_t>& sectorsReadByScan) {
  return [&sectorsReadByScan](const FoundEntry& entry, uint64_t sector) {
    if (test::Carved(entry)) return SameSearchBlock(entry, sector);
    return sectorsReadByScan.count(sector) == 1;
  };
}

struct Reference {
  std::multiset<FoundEntry> found;
  uint64_t reads = 0;
  uint64_t sectorsPerRecord = 0;
  uint64_t recordBytes = 0;
};

Reference HealthyRun(std::span<const uint8_t> volume, ScanJobKind job) {
  JobRun run;
  run.Run(volume, job);
  EXPECT_EQ(run.opened, 1) << JobName(job);
  EXPECT_EQ(run.result, 1) << JobName(job);
  EXPECT_TRUE(test::NumberedAndConsistent(run.state)) << JobName(job);
  const uint64_t sectorsPerRecord = run.state.volumeInfo.sectorsPerRecord;
  return {test::FoundFiles(run.state), run.faults->ReadCount(), sectorsPerRecord, sectorsPerRecord * 512};
}

// Runs the job with one failed sector at each of sectors; checks what every run keeps and counts
// the runs that lost something (a bad sector that costs nothing everywhere proves nothing).
uint64_t SweepFailedSectors(std::span<const uint8_t> volume, ScanJobKind job, const std::vector<uint64_t>& sectors,
                            const MayLose& mayLose = {}) {
  const Reference healthy = HealthyRun(volume, job);
  uint64_t runsThatLost = 0, failures = 0;
  for (uint64_t bad : sectors) {
    if (failures > 5) break;
    JobRun run;
    run.Run(volume, job, [bad](FaultInjectingReader& faults) { faults.FailSector(bad); });
    const std::string where = std::string(JobName(job)) + ", sector " + std::to_string(bad);
    if (bad == 0 && job != ScanJobKind::DiskSearch) {
      EXPECT_EQ(run.opened, 0) << where << ": a volume without its boot sector cannot be told";
      continue;
    }
    if (run.opened != 1 || run.result != 1) {
      ADD_FAILURE() << where << ": opened " << run.opened << ", result " << run.result;
      ++failures;
      continue;
    }
    const auto found = test::FoundFiles(run.state);
    const auto extra = test::Missing(found, healthy.found);
    for (const FoundEntry& entry : extra) ADD_FAILURE() << where << ": lists " << Describe(entry) << " that is not there";
    const auto lost = test::Missing(healthy.found, found);
    for (const FoundEntry& entry : lost) {
      const bool allowed = mayLose ? mayLose(entry, bad) : NtfsMayLose(healthy.sectorsPerRecord)(entry, bad);
      if (!allowed) ADD_FAILURE() << where << ": lost " << Describe(entry);
    }
    const auto consistent = test::NumberedAndConsistent(run.state);
    EXPECT_TRUE(consistent) << where;
    if (!extra.empty() || !consistent) ++failures;
    if (!lost.empty()) ++runsThatLost;
  }
  return runsThatLost;
}

std::vector<uint64_t> Range(uint64_t first, uint64_t end, uint64_t step = 1) {
  std::vector<uint64_t> sectors;
  for (uint64_t s = first; s < end; s += step) sectors.push_back(s);
  return sectors;
}

TEST(ReadFault, EverySectorOfASmallNtfsVolumeFailingCostsOnlyWhatLiesOnIt) {
  const std::vector<uint8_t> volume = test::BuildNtfsJobVolume();
  const uint64_t sectors = volume.size() / 512;
  // Every sector of the boot area, the mirror and the table (sectors 0 to 191); a sample of the
  // rest, which the fast scan never reads, and where the searches lose whole 63-sector blocks.
  std::vector<uint64_t> scanSample = Range(0, 192), searchSample = Range(0, 192, 2);
  for (uint64_t s : Range(192, sectors, 5)) scanSample.push_back(s);
  for (uint64_t s : Range(192, sectors, 7)) searchSample.push_back(s);
  EXPECT_GT(SweepFailedSectors(volume, ScanJobKind::FastScan, scanSample), 0u);
  for (ScanJobKind job : {ScanJobKind::LostFileSearch, ScanJobKind::DiskSearch}) {
    const auto& sample = searchSample;
    EXPECT_GT(SweepFailedSectors(volume, job, sample), 0u) << JobName(job) << ": no failed sector cost anything";
  }
}

TEST(ReadFault, EverySectorOfSmallFat16AndFat32VolumesFailingCostsOnlyWhatLiesOnIt) {
  for (test::FatWidth width : {test::FatWidth::Fat16, test::FatWidth::Fat32}) {
    SCOPED_TRACE(width == test::FatWidth::Fat16 ? "FAT16" : "FAT32");
    const test::FatJobVolume volume = test::BuildFatJobVolume(width);
    const uint64_t sectors = volume.bytes.size() / 512;
    std::vector<uint64_t> scanSample(volume.sectorsReadByScan.begin(), volume.sectorsReadByScan.end());
    std::vector<uint64_t> searchSample = Range(0, sectors, 11);
    for (uint64_t s : Range(0, sectors, 13)) scanSample.push_back(s);
    searchSample.insert(searchSample.end(), volume.sectorsReadByScan.begin(), volume.sectorsReadByScan.end());
    const MayLose mayLose = FatMayLose(volume.sectorsReadByScan);
    EXPECT_GT(SweepFailedSectors(volume.bytes, ScanJobKind::FastScan, scanSample, mayLose), 0u);
    EXPECT_GT(SweepFailedSectors(volume.bytes, ScanJobKind::LostFileSearch, searchSample, mayLose), 0u);
  }
}

TEST(ReadFault, FailedSectorsOnRealNtfsVolumes) {
  const std::string corpus = test::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "the sample volumes are not there";
  // A table with deleted files: every sector of its first 64 records and around every listed
  // file's record (the table has two extents), a sample of the rest.
  const std::vector<uint8_t> undelete = test::ReadWholeFile(corpus + "/dftt-ntfs-7-undel.img");
  ASSERT_FALSE(undelete.empty());
  EngineState probe;
  ASSERT_EQ(test::OpenMemorySource(probe, undelete), 1);
  const uint64_t table = probe.volumeInfo.mftCluster * probe.volumeInfo.ntfsSectorsPerCluster;
  std::vector<uint64_t> sectors = Range(table, table + 64 * probe.volumeInfo.sectorsPerRecord);
  CleanUp(probe);
  for (uint64_t s : Range(1, undelete.size() / 512, 61)) sectors.push_back(s);
  for (const FoundEntry& entry : HealthyRun(undelete, ScanJobKind::FastScan).found) {
    for (uint64_t s : Range(test::Where(entry) - 1, test::Where(entry) + 3)) sectors.push_back(s);
  }
  EXPECT_GT(SweepFailedSectors(undelete, ScanJobKind::FastScan, sectors), 0u);

  // Pictures for the search: the first sector of every hit and a sample of the rest.
  const std::vector<uint8_t> pictures = test::ReadWholeFile(corpus + "/dftt-ntfs-8-jpeg-search.img");
  ASSERT_FALSE(pictures.empty());
  std::vector<uint64_t> hits = Range(1, pictures.size() / 512, 401);
  for (const FoundEntry& entry : HealthyRun(pictures, ScanJobKind::LostFileSearch).found) {
    if (test::Carved(entry)) hits.push_back(test::Where(entry));
  }
  EXPECT_GT(SweepFailedSectors(pictures, ScanJobKind::LostFileSearch, hits), 0u);
}

TEST(ReadFault, ShortReadsEndWithASubsetAndLongEnoughReadsLoseNothing) {
  for (const auto& [name, volume] : test::JobVolumes()) for (ScanJobKind job : kJobs) {
    SCOPED_TRACE(name);
    const Reference healthy = HealthyRun(volume, job);
    for (size_t limit : {size_t{1}, size_t{100}, size_t{511}, size_t{512}, size_t{700}, size_t{1024}, size_t{4096},
                         size_t{65536}, size_t{1} << 20}) {
      JobRun run;
      run.Run(volume, job, [limit](FaultInjectingReader& faults) { faults.LimitReadsTo(limit); });
      const std::string where = std::string(JobName(job)) + ", reads of at most " + std::to_string(limit);
      if (limit < 512 && job != ScanJobKind::DiskSearch) {
        EXPECT_EQ(run.opened, 0) << where << ": a partial boot sector is no boot sector";
        continue;
      }
      if (run.opened != 1) {
        EXPECT_LT(limit, std::max<uint64_t>(512, healthy.recordBytes)) << where << ": whole records are read at set-up";
        continue;
      }
      EXPECT_EQ(run.result, 1) << where;
      EXPECT_TRUE(test::NumberedAndConsistent(run.state)) << where;
      const auto found = test::FoundFiles(run.state);
      EXPECT_TRUE(test::Missing(found, healthy.found).empty()) << where << ": lists what is not there";
      if (limit >= volume.size()) {
        EXPECT_EQ(found, healthy.found) << where;
      }
    }
  }
}

TEST(ReadFault, ASourceThatDiesAfterKReadsEndsEveryJob) {
  for (const auto& [name, volume] : test::JobVolumes()) for (ScanJobKind job : kJobs) {
    SCOPED_TRACE(name);
    const Reference healthy = HealthyRun(volume, job);
    for (uint64_t k = 0; k <= healthy.reads + 1; ++k) {
      JobRun run;
      run.Run(volume, job, [k](FaultInjectingReader& faults) { faults.FailAfterReads(k); });
      const std::string where = std::string(JobName(job)) + ", dead after " + std::to_string(k) + " reads";
      if (run.opened != 1) {
        EXPECT_LT(k, 4u) << where << ": only the set-up reads decide whether the volume opens";
        continue;
      }
      EXPECT_EQ(run.result, 1) << where;
      EXPECT_TRUE(test::NumberedAndConsistent(run.state)) << where;
      const auto found = test::FoundFiles(run.state);
      EXPECT_TRUE(test::Missing(found, healthy.found).empty()) << where << ": lists what is not there";
      if (k >= healthy.reads) {
        EXPECT_EQ(found, healthy.found) << where;
      }
    }
  }
}

}  // namespace
}  // namespace restora
