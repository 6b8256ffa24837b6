// SPDX-License-Identifier: GPL-3.0-or-later
// Image files: length and bytes, unreadable and short blocks, stop, progress and write failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "FaultInjectingReader.h"
#include "ImageFile.h"
#include "ScanDriver.h"
#include "TestSupport.h"

namespace restora {
namespace {

// A FAT16 volume of totalSectors sectors held in sourceSectors sectors of random bytes.
std::vector<uint8_t> Fat16Volume(uint32_t totalSectors, size_t sourceSectors) {
  std::vector<uint8_t> bytes(sourceSectors * kSectorSize);
  std::mt19937 random(totalSectors);
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const uint32_t word = random();
    std::memcpy(&bytes[i], &word, 4);
  }
  std::fill(bytes.begin(), bytes.begin() + 512, 0);
  bytes[0x0B] = 0x00;  // 512 bytes per sector
  bytes[0x0C] = 0x02;
  bytes[0x0D] = 4;
  bytes[0x0E] = 1;
  bytes[0x10] = 2;     // FATs
  bytes[0x12] = 0x02;  // 512 root entries
  bytes[0x15] = 0xF8;
  bytes[0x16] = 8;
  bytes[0x20] = static_cast<uint8_t>(totalSectors);  // the 16-bit total at 0x13 is 0
  bytes[0x21] = static_cast<uint8_t>(totalSectors >> 8);
  bytes[0x22] = static_cast<uint8_t>(totalSectors >> 16);
  bytes[0x26] = 0x29;
  std::memcpy(&bytes[0x36], "FAT16", 5);
  bytes[510] = 0x55;
  bytes[511] = 0xAA;
  return bytes;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(std::filesystem::file_size(path));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

class ImageFileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::path(testing::TempDir()) / ("imagefile-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "out.qxi").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Opens bytes through a fault-injecting reader that the test may arm before imaging.
  FaultInjectingReader* Open(const std::vector<uint8_t>& bytes) {
    auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(bytes));
    FaultInjectingReader* faults = reader.get();
    EXPECT_EQ(OpenSource(state_, OpenMode::Image, std::move(reader)), 1);
    state_.keepRunning = 1;
    return faults;
  }

  // What one read per block gives: block k of the source, cut to `limit` bytes, or zeros when
  // it is listed in `failing`.
  static std::vector<uint8_t> Expected(const std::vector<uint8_t>& source, uint64_t totalSectors,
                                       std::set<uint64_t> failing = {}, size_t limit = kImageBlockBytes) {
    const uint64_t blocks = (totalSectors + 62) / 63;
    std::vector<uint8_t> image(blocks * kImageBlockBytes);
    for (uint64_t k = 0; k < blocks; ++k) {
      if (failing.count(k) != 0) continue;
      const size_t from = k * kImageBlockBytes;
      const size_t count = from < source.size() ? std::min({limit, kImageBlockBytes, source.size() - from}) : 0;
      std::copy_n(source.begin() + from, count, image.begin() + from);
    }
    return image;
  }

  EngineState state_;
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(ImageFileTest, CopiesWholeBlocksAndPadsWithZeros) {
  // 1,000 sectors: 16 blocks; a multiple of 63 past one large read; a source shorter than T.
  const std::vector<std::pair<uint32_t, size_t>> volumes{{1000, 1000}, {63 * 70, 63 * 70 + 9}, {5000, 300}};
  for (const auto& [total, held] : volumes) {
    SCOPED_TRACE(total);
    CleanUp(state_);
    const std::vector<uint8_t> source = Fat16Volume(total, held);
    Open(source);
    ImageStats stats;
    ASSERT_EQ(WriteImageFile(state_, path_, &stats), 1);
    const std::vector<uint8_t> image = FileBytes(path_);
    EXPECT_EQ(image.size(), (total + 62) / 63 * 32256u);
    EXPECT_TRUE(image == Expected(source, total));
    EXPECT_EQ(stats.unreadableBlocks, 0u);
  }
}

TEST_F(ImageFileTest, FailedAndShortReadsGiveTheBytesOfOneReadPerBlock) {
  const uint32_t total = 63 * 40 - 5;
  const std::vector<uint8_t> source = Fat16Volume(total, total);
  FaultInjectingReader* faults = Open(source);
  faults->FailSector(100);      // in block 1
  faults->FailSector(63 * 33);  // the first sector of block 33, in the second large read
  ImageStats stats;
  ASSERT_EQ(WriteImageFile(state_, path_, &stats), 1);
  EXPECT_TRUE(FileBytes(path_) == Expected(source, total, {1, 33}));
  EXPECT_EQ(stats.unreadableBlocks, 2u);

  faults = Open(source);
  faults->LimitReadsTo(10000);
  ASSERT_EQ(WriteImageFile(state_, path_), 1);
  EXPECT_TRUE(FileBytes(path_) == Expected(source, total, {}, 10000));
}

// Clears keepRunning at a chosen checkpoint and records the progress steps.
class StopAt : public ProgressSink {
 public:
  StopAt(EngineState& state, int checkpoint) : state_(state), stopAt_(checkpoint) {}
  void Checkpoint() override {
    if (++seen_ == stopAt_) state_.keepRunning = 0;
  }
  void Progress(uint64_t done, uint64_t total) override { steps.emplace_back(done, total); }
  std::vector<std::pair<uint64_t, uint64_t>> steps;

 private:
  EngineState& state_;
  int stopAt_;
  int seen_ = 0;
};

TEST_F(ImageFileTest, AStopLeavesTheBlocksBeforeIt) {
  const uint32_t total = 63 * 50;
  const std::vector<uint8_t> source = Fat16Volume(total, total);
  for (const int stopAt : {2, 40}) {
    Open(source);
    StopAt sink(state_, stopAt);
    state_.progress = &sink;
    ImageStats stats;
    EXPECT_EQ(WriteImageFile(state_, path_, &stats), 0);
    EXPECT_TRUE(stats.stopped);
    std::vector<uint8_t> expected = Expected(source, total);
    expected.resize((stopAt - 1) * kImageBlockBytes);
    EXPECT_TRUE(FileBytes(path_) == expected);
    state_.progress = nullptr;
  }
  // Progress in sectors: block starts, against T.
  Open(source);
  StopAt sink(state_, 0);
  state_.progress = &sink;
  ASSERT_EQ(WriteImageFile(state_, path_), 1);
  ASSERT_FALSE(sink.steps.empty());
  EXPECT_EQ(sink.steps.front().first, 0u);
  for (size_t i = 0; i < sink.steps.size(); ++i) {
    EXPECT_EQ(sink.steps[i].first % 63, 0u);
    EXPECT_LT(sink.steps[i].first, total);
    EXPECT_EQ(sink.steps[i].second, total);
    if (i > 0) {
      EXPECT_GT(sink.steps[i].first, sink.steps[i - 1].first);
    }
  }
  state_.progress = nullptr;
}

TEST_F(ImageFileTest, FailuresToCreateOrWriteAreReported) {
  EXPECT_EQ(WriteImageFile(state_, path_), 0);  // no source open
  EXPECT_FALSE(std::filesystem::exists(path_));
  Open(Fat16Volume(2000, 2000));
  ImageStats stats;
  EXPECT_EQ(WriteImageFile(state_, (folder_ / "missing" / "x.qxi").string(), &stats), 0);
  EXPECT_FALSE(stats.created);
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(WriteImageFile(state_, "/dev/full", &stats), 0);
    EXPECT_TRUE(stats.writeFailed);
  }
  state_.volumeInfo.totalSectors = 0;
  EXPECT_EQ(WriteImageFile(state_, path_), 1);
  EXPECT_EQ(std::filesystem::file_size(path_), 0u);
}

TEST_F(ImageFileTest, AFileOfZerosIsNoImage) {
  EXPECT_EQ(test::OpenMemorySource(state_, std::vector<uint8_t>(64 * 1024)), 0);
}

}  // namespace
}  // namespace restora
