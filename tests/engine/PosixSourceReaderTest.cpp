// SPDX-License-Identifier: GPL-3.0-or-later
// Sources are opened read-only, read positioned, and fail with a clear message.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FaultInjectingReader.h"
#include "PosixSourceReader.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

// The open flags of the descriptor that refers to path, read from /proc/self/fdinfo; -1 if none.
int OpenFlagsOf(const fs::path& path) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (fs::read_symlink(entry.path(), ec) != path) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    while (info >> key) {
      if (key == "flags:") {
        std::string octal;
        info >> octal;
        return std::stoi(octal, nullptr, 8);
      }
    }
  }
  return -1;
}

class PosixSourceReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("restora-reader-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    file_ = folder_ / "volume.img";
    std::ofstream out(file_, std::ios::binary);
    for (int i = 0; i < 1500; ++i) out.put(static_cast<char>(i & 0xFF));
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_, file_;
};

TEST_F(PosixSourceReaderTest, OpensReadOnlyAndReadsPositioned) {
  std::string error;
  auto reader = PosixSourceReader::Open(file_.string(), &error);
  ASSERT_TRUE(reader) << error;
  const int flags = OpenFlagsOf(fs::canonical(file_));
  ASSERT_NE(flags, -1);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_NE(flags & O_CLOEXEC, 0);
  EXPECT_EQ(reader->SizeBytes(), 1500u);

  std::vector<uint8_t> buffer(1024, 0xEE);
  size_t delivered = 0;
  EXPECT_EQ(reader->ReadAt(1024, buffer, &delivered), 1);  // short at the end: success
  EXPECT_EQ(delivered, 476u);
  EXPECT_EQ(buffer[0], 1024 & 0xFF);
  EXPECT_EQ(buffer[476], 0xEE);  // past the end stays as it was
  EXPECT_EQ(reader->ReadAt(1u << 30, buffer, &delivered), 1);
  EXPECT_EQ(delivered, 0u);
}

TEST_F(PosixSourceReaderTest, RefusesDirectoriesAndMissingPathsWithOneLine) {
  std::string error;
  EXPECT_FALSE(PosixSourceReader::Open(folder_.string(), &error));
  EXPECT_EQ(error, folder_.string() + " is a directory");
  EXPECT_FALSE(PosixSourceReader::Open((folder_ / "none").string(), &error));
  EXPECT_EQ(error, "cannot open " + (folder_ / "none").string() + ": No such file or directory");
}

TEST_F(PosixSourceReaderTest, FaultInjectionFailsChosenSectorsAndCutsReads) {
  std::string error;
  FaultInjectingReader faulty(PosixSourceReader::Open(file_.string(), &error));
  faulty.FailSector(2);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(faulty.ReadAt(0, buffer), 1);
  EXPECT_EQ(faulty.ReadAt(1024, buffer), 0);
  std::vector<uint8_t> two(1024);
  EXPECT_EQ(faulty.ReadAt(512, two), 0);  // touches sector 2
  faulty.LimitReadsTo(100);
  size_t delivered = 0;
  EXPECT_EQ(faulty.ReadAt(0, buffer, &delivered), 1);
  EXPECT_EQ(delivered, 100u);
}

}  // namespace
}  // namespace restora
