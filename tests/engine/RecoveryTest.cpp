// SPDX-License-Identifier: GPL-3.0-or-later
// Saving into a real folder: checked entries with their bytes, names that clash, hostile names
// from NTFS and FAT volumes (nothing leaves DEST/#, every file arrives once with its own bytes),
// names that lead out of the tree, a destination on the source device or on a device built on
// it, and sources opened read-only.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "DeviceOverlap.h"
#include "FatImageBuilder.h"
#include "NtfsImageBuilder.h"
#include "PosixDestination.h"
#include "PosixSourceReader.h"
#include "RecoveryWriter.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

// A volume whose every byte tells where it lies, under a bare root.
struct Found {
  Found() {
    for (size_t i = 0; i < volume.size(); ++i) volume[i] = static_cast<uint8_t>(i / 512 * 7 + i % 251);
    state.volumeInfo.kind = SourceKind::Disk, state.volumeInfo.totalSectors = 4096;
    state.deviceHandle = std::make_unique<MemorySourceReader>(volume);
    state.scanRoot = NewNode(state);
    state.scanRoot->name = u".", state.scanRoot->status = kStatusLiveFolder;
    state.keepRunning = 1;
  }
  ~Found() { CleanUp(state); }
  // A folder, or a found file of size bytes from sector start, appended to folder's children.
  ScanNode* Add(ScanNode* folder, const std::u16string& name, uint64_t start = 0, uint64_t size = 0) {
    ScanNode* node = test::AppendNode(state, folder, name, size == 0, size, 0);
    node->checked = 1, node->location = start, node->carveSource = size != 0 ? kCarveDisk : kCarveNone;
    return node;
  }
  std::vector<uint8_t> Slice(uint64_t start, uint64_t size) const {
    return std::vector<uint8_t>(volume.begin() + static_cast<std::ptrdiff_t>(start * 512),
                                volume.begin() + static_cast<std::ptrdiff_t>(start * 512 + size));
  }
  std::vector<uint8_t> volume = std::vector<uint8_t>(4096 * 512);
  EngineState state;
};

// Every plain file below folder (relative path → content); anything else is a failure.
std::map<std::string, std::vector<uint8_t>> SavedFiles(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    EXPECT_TRUE(!entry.is_symlink() && (entry.is_directory() || entry.is_regular_file())) << entry.path();
    EXPECT_LE(entry.path().filename().string().size(), 255u);
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = test::ReadWholeFile(entry.path());
  }
  return files;
}

TEST(Recovery, CheckedEntriesArriveWithTheirBytesAndClashingNamesTakeASuffix) {
  Found f;
  ScanNode* docs = f.Add(f.state.scanRoot, u"docs");
  f.Add(docs, u"a.txt", 100, 5000);
  f.Add(docs, u"unchecked.txt", 200, 10)->checked = 0;
  f.Add(f.Add(docs, u"inner"), u"deep.bin", 300, 1024 * 1024 + 512);
  ScanNode* skipped = f.Add(f.state.scanRoot, u"skipped");
  f.Add(skipped, u"inside.txt", 400, 10);  // checked, but its folder is not
  skipped->checked = 0;
  f.Add(f.state.scanRoot, u"same.txt", 500, 3000);
  f.Add(f.state.scanRoot, u"same.txt", 600, 1000);  // never replaces a file of the same save
  test::TempFolder temp;
  auto destination = PosixDestination::Open(temp.Path(), nullptr);
  ASSERT_EQ(SaveCheckedEntries(f.state, *destination), 1);
  ASSERT_EQ(SaveCheckedEntries(f.state, *destination), 1);  // a second save suffixes the folder
  const std::map<std::string, std::vector<uint8_t>> expected{
      {"#/docs/a.txt", f.Slice(100, 5000)},      {"#/docs/inner/deep.bin", f.Slice(300, 1024 * 1024 + 512)},
      {"#/docs_#_1/a.txt", f.Slice(100, 5000)},  {"#/docs_#_1/inner/deep.bin", f.Slice(300, 1024 * 1024 + 512)},
      {"#/same.txt", f.Slice(500, 3000)},        {"#/same.txt_#_1", f.Slice(600, 1000)}};
  EXPECT_TRUE(SavedFiles(temp.Path()) == expected);
}

const std::vector<std::u16string> kHostileNames = {
    u"..", u".", u"", u"a/b", std::u16string(u"a\0b", 3), u"a_b", u"A.TXT", u"a.txt", u"../../escape",
    u"/etc/passwd", u"#", u"back\\slash:colon", std::u16string(255, u'L'), std::u16string(255, u'L') + u"x"};

std::vector<uint8_t> Content(size_t index) { return std::vector<uint8_t>(20 + index * 11, static_cast<uint8_t>('a' + index)); }

// Saves every entry into DEST alone in a fresh parent: only DEST/# appears, and the files are
// exactly the expected contents, each once.
void SaveAndCheck(EngineState& state, std::vector<std::vector<uint8_t>> expected) {
  test::TempFolder parent;
  const std::string dest = parent.Path() + "/dest";
  fs::create_directory(dest);
  auto destination = PosixDestination::Open(dest, nullptr);
  SetChecked(state.scanRoot->firstChild, 1);
  state.keepRunning = 1;
  SaveSummary summary;
  EXPECT_EQ(SaveCheckedEntries(state, *destination, &summary), 1);
  EXPECT_EQ(summary.Failures(), 0u);
  std::vector<std::vector<uint8_t>> saved;
  for (auto& [path, content] : SavedFiles(parent.Path())) {
    EXPECT_EQ(path.rfind("dest/#/", 0), 0u) << path;
    saved.push_back(content);
  }
  std::sort(saved.begin(), saved.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_TRUE(saved == expected) << "every file arrives once with its own bytes";
}

TEST(HostileNames, FromNtfsFat16AndFat32Volumes) {
  test::NtfsImageBuilder ntfs;
  std::vector<std::vector<uint8_t>> expected;
  uint64_t record = 16;
  for (const std::u16string& name : kHostileNames) {
    if (name.empty() || name.size() > 255) continue;  // a file-name attribute holds 1 to 255 characters
    expected.push_back(Content(expected.size()));
    ntfs.AddFile(record++, name, 5, 0).ResidentData(expected.back());
  }
  ntfs.AddFolder(40, u"..", 5, test::kRecordFolder);
  ntfs.AddFolder(41, u"/", 5, test::kRecordFolder);
  for (uint64_t folder : {40, 41}) {
    expected.push_back(Content(expected.size()));
    ntfs.AddFile(folder + 10, u"..", folder, 0).ResidentData(expected.back());
  }
  auto scanned = test::ScanVolume(ntfs.Build());
  ASSERT_EQ(scanned->result, 1);
  SaveAndCheck(scanned->state, expected);
  for (test::FatWidth width : {test::FatWidth::Fat16, test::FatWidth::Fat32}) {  // long names
    test::FatImageBuilder fat(test::FatLayout{width, 4096, 1});
    expected.clear();
    for (const std::u16string& name : kHostileNames) {
      if (name.empty()) continue;  // a long name of no characters is no long name
      expected.push_back(Content(expected.size()));
      fat.AddFile(fat.RootFolder(), {"F" + std::to_string(expected.size()) + ".BIN", name, 0x20, 0, 0, true}, expected.back());
    }
    scanned = test::ScanVolume(fat.Take());
    ASSERT_EQ(scanned->result, 1);
    SaveAndCheck(scanned->state, expected);
  }
}

TEST(Destination, OnlyTheSaveFolderIsMadeAndNamesLeadingOutOfTheTreeCountAsTaken) {
  test::TempFolder temp;
  const std::string outside = temp.Path() + "/outside.txt", save = temp.Path() + "/dest/#";
  std::ofstream(outside) << "keep me";
  fs::create_directories(save);
  fs::create_symlink(outside, save + "/link.txt");
  fs::create_directory_symlink(temp.Path(), save + "/linkdir");
  fs::create_hard_link(outside, save + "/hard.txt");
  ASSERT_EQ(::mkfifo((save + "/fifo").c_str(), 0600), 0);
  std::ofstream(save + "/image.img") << "the source";
  auto destination = PosixDestination::Open(temp.Path() + "/dest", nullptr);
  struct stat image {};
  ASSERT_EQ(::stat((save + "/image.img").c_str(), &image), 0);
  destination->ProtectFile(image.st_dev, image.st_ino);
  std::unique_ptr<OutputFile> file;
  EXPECT_EQ(destination->CreateFile("stray.txt", &file), CreateStatus::Failed);
  EXPECT_EQ(destination->CreateFolder("other"), CreateStatus::Failed);
  ASSERT_EQ(destination->EnterFolder("#"), 1);
  for (const char* name : {"link.txt", "hard.txt", "fifo", "image.img"}) {
    EXPECT_EQ(destination->CreateFile(name, &file), CreateStatus::Exists) << name;
  }
  for (const std::string& bad : std::vector<std::string>{"", ".", "..", "a/b", std::string("a\0b", 3), std::string(256, 'x')}) {
    EXPECT_EQ(destination->CreateFolder(bad), CreateStatus::Failed) << bad;
    EXPECT_EQ(destination->EnterFolder(bad), 0) << bad;
  }
  EXPECT_EQ(destination->EnterFolder("linkdir"), 0);  // a link to a folder is not followed
  EXPECT_EQ(destination->LeaveFolder(), 1);
  EXPECT_EQ(destination->LeaveFolder(), 0);  // never above the destination
  EXPECT_EQ(test::ReadWholeFile(outside), std::vector<uint8_t>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  EXPECT_EQ(test::ReadWholeFile(save + "/image.img").size(), 10u);
}

// A fixture of /sys/dev/block: disk sda (8:0) with partitions sda1 and sda2, disk sdb (8:16), a
// device-mapper volume dm-0 (253:0) built on sda2, and loop devices over image files.
TEST(Destination, OnTheSourceDeviceOrADeviceBuiltOnItIsRefused) {
  test::TempFolder temp;
  const fs::path root = temp.Path();
  auto add = [&root](const fs::path& folder, const std::string& number) {
    fs::create_directories(root / folder);
    std::ofstream(root / folder / "dev") << number << "\n";
    fs::create_directories(root / "dev/block");
    fs::create_directory_symlink(root / folder, root / "dev/block" / number);
  };
  add("devices/sda", "8:0");
  add("devices/sda/sda1", "8:1");
  add("devices/sda/sda2", "8:2");
  std::ofstream(root / "devices/sda/sda1/partition") << "1\n";
  std::ofstream(root / "devices/sda/sda2/partition") << "2\n";
  add("devices/sdb", "8:16");
  add("devices/dm-0", "253:0");
  fs::create_directories(root / "devices/dm-0/slaves");
  fs::create_directory_symlink("../../sda/sda2", root / "devices/dm-0/slaves/sda2");
  for (const auto& [number, file] : {std::pair{"7:0", "/a.img"}, {"7:1", "/a.img"}, {"7:2", "/b.img"}}) {
    add(std::string("devices/virtual/") + number, number);
    fs::create_directories(root / "devices/virtual" / number / "loop");
    std::ofstream(root / "devices/virtual" / number / "loop/backing_file") << file << "\n";
  }
  struct Case { dev_t source, destination; bool overlap; };
  const Case cases[] = {
      {makedev(8, 1), makedev(8, 1), true},    {makedev(8, 0), makedev(8, 2), true},
      {makedev(8, 2), makedev(8, 0), true},    {makedev(8, 2), makedev(253, 0), true},
      {makedev(8, 0), makedev(253, 0), true},  {makedev(7, 0), makedev(7, 1), true},
      {makedev(8, 1), makedev(8, 2), false},   {makedev(8, 1), makedev(253, 0), false},
      {makedev(8, 16), makedev(8, 1), false},  {makedev(8, 0), makedev(0, 42), false},
      {makedev(7, 0), makedev(7, 2), false}};
  for (const Case& c : cases) {
    EXPECT_EQ(DevicesOverlap(c.source, {c.destination}, temp.Path()), c.overlap)
        << major(c.source) << ":" << minor(c.source) << " and " << major(c.destination) << ":" << minor(c.destination);
  }
}

TEST(Source, OpensReadOnly) {
  test::TempFolder temp;
  const std::string path = temp.Path() + "/volume.img";
  std::ofstream(path) << std::string(1500, 'v');
  auto reader = PosixSourceReader::Open(path, nullptr);
  ASSERT_TRUE(reader);
  int flags = -1;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (fs::read_symlink(entry.path(), ec) != path) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    for (std::string key; info >> key;) {
      if (key == "flags:") info >> std::oct >> flags;
    }
  }
  ASSERT_NE(flags, -1);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_NE(flags & O_CLOEXEC, 0);
}

}  // namespace
}  // namespace restora
