// SPDX-License-Identifier: GPL-3.0-or-later
// The destination folder on disk: what its names may lead to (links, FIFOs, hard links, the
// source image), where it lets anything be made, and the refusal of a destination that lies on
// the device being recovered from (device stacks read from a fixture of sysfs).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "DeviceOverlap.h"
#include "PosixDestination.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool WriteText(Destination& destination, const std::string& name, const std::string& text) {
  std::unique_ptr<OutputFile> file;
  if (destination.CreateFile(name, &file) != CreateStatus::Done) return false;
  const bool written = file->Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())) == 1;
  return file->Close() == 1 && written;
}

TEST(PosixDestination, OnlyTheSaveFolderCanBeMadeInTheDestinationItself) {
  test::TempFolder temp;
  auto destination = PosixDestination::Open(temp.Path(), nullptr);
  ASSERT_TRUE(destination);
  std::unique_ptr<OutputFile> file;
  EXPECT_EQ(destination->CreateFile("stray.txt", &file), CreateStatus::Failed);
  EXPECT_EQ(destination->CreateFolder("other"), CreateStatus::Failed);
  EXPECT_EQ(destination->CreateFolder("#"), CreateStatus::Done);
  EXPECT_EQ(destination->CreateFolder("#"), CreateStatus::Exists);
  ASSERT_EQ(destination->EnterFolder("#"), 1);
  const std::vector<std::string> badNames{"", ".", "..", "a/b", std::string("a\0b", 3), std::string(256, 'x')};
  for (const std::string& bad : badNames) {
    EXPECT_EQ(destination->CreateFolder(bad), CreateStatus::Failed) << bad;
    EXPECT_EQ(destination->EnterFolder(bad), 0) << bad;
  }
  EXPECT_TRUE(WriteText(*destination, "ok.txt", "fine"));
  EXPECT_EQ(destination->LeaveFolder(), 1);
  EXPECT_EQ(destination->LeaveFolder(), 0);  // never above the destination
  EXPECT_EQ(test::ListTree(temp.Path()), (std::map<std::string, int64_t>{{"#", -1}, {"#/ok.txt", 4}}));

  std::string error;
  EXPECT_FALSE(PosixDestination::Open(temp.Path() + "/#/ok.txt", &error));
  EXPECT_NE(error.find("not a folder"), std::string::npos);
  EXPECT_FALSE(PosixDestination::Open(temp.Path() + "/missing", &error));
}

TEST(PosixDestination, NamesLeadingOutOfTheTreeCountAsTaken) {
  test::TempFolder temp;
  const std::string outside = temp.Path() + "/outside.txt";
  std::ofstream(outside) << "keep me";
  fs::create_directories(temp.Path() + "/dest/#/sub");
  fs::create_directory(temp.Path() + "/elsewhere");
  const std::string save = temp.Path() + "/dest/#";
  fs::create_symlink(outside, save + "/link.txt");
  fs::create_directory_symlink(temp.Path() + "/elsewhere", save + "/linkdir");
  fs::create_hard_link(outside, save + "/hard.txt");
  ASSERT_EQ(::mkfifo((save + "/fifo").c_str(), 0600), 0);
  std::ofstream(save + "/image.img") << "the source";
  std::ofstream(save + "/plain.txt") << "old content";

  auto destination = PosixDestination::Open(temp.Path() + "/dest", nullptr);
  ASSERT_TRUE(destination);
  struct stat image {};
  ASSERT_EQ(::stat((save + "/image.img").c_str(), &image), 0);
  destination->ProtectFile(image.st_dev, image.st_ino);
  ASSERT_EQ(destination->EnterFolder("#"), 1);
  std::unique_ptr<OutputFile> file;
  for (const char* name : {"link.txt", "hard.txt", "fifo", "image.img", "sub"}) {
    EXPECT_EQ(destination->CreateFile(name, &file), CreateStatus::Exists) << name;
  }
  EXPECT_EQ(destination->CreateFolder("link.txt"), CreateStatus::Exists);
  EXPECT_EQ(destination->EnterFolder("linkdir"), 0);  // a link to a folder is not followed
  EXPECT_EQ(destination->EnterFolder("plain.txt"), 0);
  EXPECT_TRUE(WriteText(*destination, "plain.txt", "new"));  // a plain file of the tree is replaced

  EXPECT_EQ(ReadText(outside), "keep me");
  EXPECT_EQ(ReadText(save + "/image.img"), "the source");
  EXPECT_EQ(ReadText(save + "/plain.txt"), "new");
  EXPECT_TRUE(fs::is_empty(temp.Path() + "/elsewhere"));
}

// A fixture of /sys/dev/block with a disk sda (8:0) and its partitions sda1 (8:1) and sda2
// (8:2), a second disk sdb (8:16), and a device-mapper volume dm-0 (253:0) built on sda2.
class DeviceStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path root = temp.Path();
    AddDevice(root / "devices/sda", "8:0");
    AddDevice(root / "devices/sda/sda1", "8:1", true);
    AddDevice(root / "devices/sda/sda2", "8:2", true);
    AddDevice(root / "devices/sdb", "8:16");
    AddDevice(root / "devices/dm-0", "253:0");
    fs::create_directories(root / "devices/dm-0/slaves");
    fs::create_directory_symlink("../../sda/sda2", root / "devices/dm-0/slaves/sda2");
  }

  void AddDevice(const fs::path& folder, const std::string& number, bool partition = false) {
    fs::create_directories(folder);
    std::ofstream(folder / "dev") << number << "\n";
    if (partition) std::ofstream(folder / "partition") << "1\n";
    fs::create_directories(fs::path(temp.Path()) / "dev/block");
    fs::create_directory_symlink(folder, fs::path(temp.Path()) / "dev/block" / number);
  }

  void AddLoop(const std::string& number, const std::string& backingFile) {
    const fs::path folder = fs::path(temp.Path()) / "devices/virtual" / number;
    AddDevice(folder, number);
    fs::create_directories(folder / "loop");
    std::ofstream(folder / "loop/backing_file") << backingFile << "\n";
  }

  bool Overlap(dev_t source, dev_t destination) { return DevicesOverlap(source, {destination}, temp.Path()); }

  test::TempFolder temp;
  const dev_t sda = makedev(8, 0), sda1 = makedev(8, 1), sda2 = makedev(8, 2), sdb = makedev(8, 16),
              dm0 = makedev(253, 0), tmpfs = makedev(0, 42);
};

TEST_F(DeviceStackTest, ADestinationOnTheSourceOrBuiltOnItIsRefused) {
  EXPECT_TRUE(Overlap(sda1, sda1));
  EXPECT_TRUE(Overlap(sda, sda2));  // a partition of the whole disk being searched
  EXPECT_TRUE(Overlap(sda2, sda));  // the disk that holds the source partition
  EXPECT_TRUE(Overlap(sda2, dm0));  // a volume made of the source partition
  EXPECT_TRUE(Overlap(sda, dm0));
  EXPECT_FALSE(Overlap(sda1, sda2));  // another partition of the same disk is fine
  EXPECT_FALSE(Overlap(sda1, dm0));
  EXPECT_FALSE(Overlap(sdb, sda1));
  EXPECT_FALSE(Overlap(sda, tmpfs));
  EXPECT_TRUE(DevicesOverlap(sda2, {tmpfs, sda2}, temp.Path()));  // the mount's own device counts too
}

TEST_F(DeviceStackTest, LoopDevicesOverOneFileOverlap) {
  AddLoop("7:0", "/images/disk.img");
  AddLoop("7:1", "/images/disk.img");  // the same file at another offset, as a partition would be
  AddLoop("7:2", "/images/other.img");
  EXPECT_TRUE(Overlap(makedev(7, 0), makedev(7, 1)));
  EXPECT_FALSE(Overlap(makedev(7, 0), makedev(7, 2)));
  EXPECT_FALSE(Overlap(makedev(7, 0), sda1));
}

TEST(DeviceOverlap, AnImageFileSourceIsNeverRefused) {
  test::TempFolder temp;
  const std::string image = temp.Path() + "/volume.img";
  std::ofstream(image) << "an image";
  std::string reason;
  EXPECT_EQ(DestinationOnSourceDevice(image, temp.Path(), &reason), 0);
  EXPECT_TRUE(reason.empty());
}

}  // namespace
}  // namespace restora
