// SPDX-License-Identifier: GPL-3.0-or-later
// The scan file: a scan of a sample volume writes exactly the stored file (both node layouts),
// and the stored file reads back as that scan's tree. (Deep trees: FatTest.)
#include <gtest/gtest.h>

#include <sstream>

#include "PosixSourceReader.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora {
namespace {

// The file from the volume description on (each write keeps only half of the volume's path).
std::string AfterPath(const std::string& file) {
  return file.substr(10 + static_cast<uint8_t>(file[8]) + 256 * static_cast<uint8_t>(file[9]));
}

class ScanFileOfASample : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(ScanFileOfASample, WritesTheStoredFileAndReadsItBack) {
  const std::string corpus = test::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "the sample volumes are not there";
  const auto [volume, seed] = GetParam();
  EngineState scanned;
  ASSERT_EQ(OpenSource(scanned, OpenMode::Image, PosixSourceReader::Open(corpus + "/" + volume, nullptr)), 1);
  scanned.keepRunning = 1;
  ASSERT_EQ(ScanSource(scanned, 0), 1);
  std::ostringstream out;
  ASSERT_EQ(WriteScanInfoTo(scanned, out), 1);
  const std::vector<uint8_t> stored = test::ReadWholeFile(std::string(RESTORA_SOURCE_DIR) + "/fuzz/seeds/FuzzScanFile/" + seed);
  const std::string storedText(stored.begin(), stored.end());
  EXPECT_TRUE(AfterPath(out.str()) == AfterPath(storedText)) << "the layout of the scan file changed";

  EngineState read;
  std::istringstream in(storedText);
  ASSERT_EQ(ReadScanInfoFrom(read, in), 1);
  EXPECT_EQ(test::TreeLines(read), test::TreeLines(scanned));
  CleanUp(read);
  CleanUp(scanned);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ScanFileOfASample,
                         ::testing::Values(std::pair{"dftt-ntfs-7-undel.img", "dftt-ntfs-7.qxs"},
                                           std::pair{"dftt-fat16-6-undel.img", "dftt-fat16-6.qxs"}),
                         [](const auto& info) { return std::string(info.index == 0 ? "Ntfs" : "Fat"); });

}  // namespace
}  // namespace restora
