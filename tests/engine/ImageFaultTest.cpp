// SPDX-License-Identifier: GPL-3.0-or-later
// Imaging over a failing medium and under stop requests: the image is the source with zeros
// exactly where reads failed or delivered nothing, and a stopped image is a correct prefix of
// whole blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ImageFile.h"
#include "JobChecks.h"
#include "TestSupport.h"

namespace restora {
namespace {

using test::JobRun;
using test::ScanJobKind;

// A fresh folder below the system's temporary folder, removed with what it holds.
struct TempFolder {
  TempFolder() {
    path = (std::filesystem::temp_directory_path() / ("restora-image-" + std::to_string(counter++) + "-" +
                                                      std::to_string(reinterpret_cast<uintptr_t>(this)))).string();
    std::filesystem::create_directories(path);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  const std::string& Path() const { return path; }
  std::string path;
  static inline int counter = 0;
};

// Imaging: the source opened and described, then copied into a file.
struct ImageRun {
  TempFolder folder;
  JobRun job;
  int result = -1;
  ImageStats stats;
  std::vector<uint8_t> image;

  ImageRun(std::span<const uint8_t> volume, const std::function<void(FaultInjectingReader&)>& arrange, uint64_t stopAt = 0) {
    job.Run(volume, ScanJobKind::FastScan, arrange);
    if (job.opened != 1) return;
    job.sink.stopAt = stopAt == 0 ? 0 : job.sink.checkpoints + stopAt;
    job.state.keepRunning = 1;
    result = WriteImageFile(job.state, folder.Path() + "/out.qxi", &stats);
    image = test::ReadWholeFile(folder.Path() + "/out.qxi");
  }
};

// The source with the given 63-sector blocks zeroed, padded to whole blocks.
std::vector<uint8_t> Expected(std::span<const uint8_t> volume, const std::set<uint64_t>& zeroBlocks) {
  std::vector<uint8_t> bytes(volume.begin(), volume.end());
  bytes.resize(ImageBlockCount(volume.size() / 512) * kImageBlockBytes);
  for (uint64_t block : zeroBlocks) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(block * kImageBlockBytes), kImageBlockBytes, uint8_t{0});
  }
  return bytes;
}

TEST(ImageFault, AFailedSectorZeroesItsBlockAndShortReadsZeroWhatWasNotDelivered) {
  for (const auto& [name, volume] : test::JobVolumes()) {
    SCOPED_TRACE(name);
    const ImageRun healthy(volume, {});
    ASSERT_EQ(healthy.result, 1);
    ASSERT_EQ(healthy.image, Expected(volume, {}));
    for (uint64_t bad = 1; bad < volume.size() / 512; bad += 29) {
      // The failure starts after the set-up reads, so the volume opens.
      const ImageRun run(volume, [bad](FaultInjectingReader& f) { f.FailSector(bad); });
      if (run.job.opened != 1) continue;  // the set-up needed this sector
      EXPECT_EQ(run.result, 1) << "sector " << bad;
      EXPECT_EQ(run.stats.unreadableBlocks, 1u) << "sector " << bad;
      EXPECT_TRUE(run.image == Expected(volume, {bad / 63})) << "sector " << bad;
    }
    const ImageRun shortReads(volume, [](FaultInjectingReader& f) { f.LimitReadsTo(100 * 512); });
    ASSERT_EQ(shortReads.job.opened, 1);
    EXPECT_EQ(shortReads.result, 1);
    EXPECT_EQ(shortReads.image, Expected(volume, {})) << "63-sector blocks fit 100-sector reads";
    const ImageRun tinyReads(volume, [](FaultInjectingReader& f) { f.LimitReadsTo(4096); });
    ASSERT_EQ(tinyReads.job.opened, 1);
    EXPECT_EQ(tinyReads.result, 1);
    ASSERT_EQ(tinyReads.image.size(), healthy.image.size());
    EXPECT_TRUE(test::ZerosWhereReadsFailed(tinyReads.image, healthy.image));
  }
}

TEST(ImageStop, AStopAtEveryCheckLeavesACorrectPrefix) {
  const std::vector<uint8_t> volume = test::BuildNtfsJobVolume();
  const std::vector<uint8_t> whole = Expected(volume, {});
  for (uint64_t k = 1; k <= ImageBlockCount(volume.size() / 512) + 1; ++k) {
    const ImageRun run(volume, {}, k);
    ASSERT_EQ(run.job.opened, 1);
    const std::string where = "stop at check " + std::to_string(k);
    if (!run.job.sink.stopped) {
      EXPECT_EQ(run.result, 1) << where;
      EXPECT_EQ(run.image, whole) << where;
      continue;
    }
    EXPECT_EQ(run.result, 0) << where;
    EXPECT_TRUE(run.stats.stopped) << where;
    EXPECT_EQ(run.image.size(), run.stats.blocksWritten * kImageBlockBytes) << where;
    EXPECT_EQ(run.stats.blocksWritten, k - 1) << where;
    EXPECT_TRUE(std::equal(run.image.begin(), run.image.end(), whole.begin())) << where << ": not a prefix";
  }
}

}  // namespace
}  // namespace restora
