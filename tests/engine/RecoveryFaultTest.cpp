// SPDX-License-Identifier: GPL-3.0-or-later
// Recovery over a failing medium and under stop requests: a read error at many sectors, short
// reads, a source that dies after k reads, a stop at every check. A save always stays inside
// DEST/#, creates every entry a healthy save creates, and fills them only with what the healthy
// medium holds (a failed read gives zeros or a short file, never other bytes); a stopped save
// keeps whole files only.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "JobChecks.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

using test::JobRun;
using test::ScanJobKind;
namespace fs = std::filesystem;

// What a save left: path below the destination → content; folders map to "/".
using SavedTree = std::map<std::string, std::vector<uint8_t>>;

// Scans the volume (healthy), arranges the faults, then checks every entry and saves it into a
// fresh folder that lies alone in its parent, and reads back what arrived.
struct SaveRun {
  test::TempFolder parent;
  JobRun job;
  int result = -1;
  SaveSummary summary;
  SavedTree saved;
  bool escaped = false;  // something other than the destination appeared in the parent

  SaveRun(std::span<const uint8_t> volume, ScanJobKind kind, const std::function<void(FaultInjectingReader&)>& arrange,
          uint64_t stopAt = 0) {
    job.Run(volume, kind);
    if (job.opened != 1 || job.result != 1) return;
    SetChecked(job.state.scanRoot->firstChild, 1);
    if (arrange) arrange(*job.faults);
    const std::string dest = parent.Path() + "/dest";
    fs::create_directory(dest);
    std::string error;
    auto destination = PosixDestination::Open(dest, &error);
    if (!destination) return;
    job.sink.stopAt = stopAt == 0 ? 0 : job.sink.checkpoints + stopAt;
    job.state.keepRunning = 1;
    result = SaveCheckedEntries(job.state, *destination, &summary);
    for (const auto& entry : fs::directory_iterator(parent.Path())) escaped |= entry.path().filename() != "dest";
    for (const auto& entry : fs::recursive_directory_iterator(dest)) {
      const std::string relative = fs::relative(entry.path(), dest).string();
      if (entry.is_directory() && !entry.is_symlink()) {
        saved[relative] = {'/'};
      } else {
        escaped |= !entry.is_regular_file() || relative.rfind("#/", 0) != 0;
        saved[relative] = test::ReadWholeFile(entry.path().string());
      }
    }
  }
};

// Compares a save under faults with the healthy one; returns the number of files that differ.
size_t CompareSaves(const SaveRun& run, const SaveRun& healthy, const std::string& where) {
  EXPECT_FALSE(run.escaped) << where;
  EXPECT_EQ(run.result, 1) << where;
  size_t differing = 0;
  for (const auto& [path, content] : run.saved) {
    const auto match = healthy.saved.find(path);
    if (match == healthy.saved.end()) {
      ADD_FAILURE() << where << ": saved " << path << " that a healthy save does not";
      continue;
    }
    if (content != match->second) {
      ++differing;
      EXPECT_TRUE(test::ZerosWhereReadsFailed(content, match->second)) << where << ": " << path << " holds other bytes";
    }
  }
  EXPECT_EQ(run.saved.size(), healthy.saved.size()) << where << ": every entry is still created";
  return differing;
}

TEST(RecoveryFault, AFailedSectorCostsAtMostTheBytesOnItAndNothingLeavesTheDestination) {
  for (const auto& [name, volume] : test::JobVolumes()) {
    SCOPED_TRACE(name);
    const SaveRun healthy(volume, ScanJobKind::FastScan, {});
    ASSERT_EQ(healthy.result, 1);
    ASSERT_FALSE(healthy.escaped);
    ASSERT_GT(healthy.saved.size(), 5u);
    uint64_t runsThatDiffered = 0;
    for (uint64_t bad = 1; bad < volume.size() / 512; bad += 19) {
      const SaveRun run(volume, ScanJobKind::FastScan, [bad](FaultInjectingReader& f) { f.FailSector(bad); });
      const size_t differing = CompareSaves(run, healthy, "sector " + std::to_string(bad));
      if (name == "NTFS") {
        EXPECT_LE(differing, 1u) << "sector " << bad << " lies in one file's data at most";
      }
      runsThatDiffered += differing > 0;
      if (HasFailure()) return;
    }
    EXPECT_GT(runsThatDiffered, 0u) << "no failed sector touched a saved file";
  }
}

TEST(RecoveryFault, ShortReadsAndADyingSourceNeverBringOtherBytes) {
  for (const auto& [name, volume] : test::JobVolumes()) {
    SCOPED_TRACE(name);
    const SaveRun healthy(volume, ScanJobKind::FastScan, {});
    ASSERT_EQ(healthy.result, 1);
    for (size_t limit : {size_t{1}, size_t{512}, size_t{1000}, size_t{4096}}) {
      const SaveRun run(volume, ScanJobKind::FastScan, [limit](FaultInjectingReader& f) { f.LimitReadsTo(limit); });
      CompareSaves(run, healthy, "reads of at most " + std::to_string(limit));
    }
    for (uint64_t k = 0; k < 40; k += 3) {
      const SaveRun run(volume, ScanJobKind::FastScan, [k](FaultInjectingReader& f) { f.FailAfterReads(k); });
      CompareSaves(run, healthy, "dead after " + std::to_string(k) + " reads");
    }
  }
}

TEST(RecoveryStop, AStopAtEveryCheckKeepsWholeFilesOnlyAndReturnsZero) {
  for (const auto& [name, volume] : test::JobVolumes()) {
    SCOPED_TRACE(name);
    const SaveRun healthy(volume, ScanJobKind::FastScan, {});
    ASSERT_EQ(healthy.result, 1);
    const uint64_t checks = healthy.job.sink.checkpoints;  // scan and save together
    size_t previous = 0;
    for (uint64_t k = 1;; ++k) {
      const SaveRun run(volume, ScanJobKind::FastScan, {}, k);
      if (!run.job.sink.stopped) {
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.saved, healthy.saved);
        EXPECT_GT(k, 1u);
        break;
      }
      const std::string where = "stop at save check " + std::to_string(k);
      EXPECT_EQ(run.result, 0) << where;
      EXPECT_TRUE(run.summary.stopped) << where;
      EXPECT_FALSE(run.escaped) << where;
      for (const auto& [path, content] : run.saved) {
        const auto match = healthy.saved.find(path);
        ASSERT_NE(match, healthy.saved.end()) << where << ": " << path;
        EXPECT_EQ(content, match->second) << where << ": " << path << " is not whole";
      }
      EXPECT_GE(run.saved.size(), previous) << where;
      previous = run.saved.size();
      ASSERT_LT(k, checks + 1000) << "the save never ends";
    }
  }
}

}  // namespace
}  // namespace restora
