// SPDX-License-Identifier: GPL-3.0-or-later
// Names a hostile volume or scan file can carry ("..", ".", "/", empty, NUL, 4,096 characters,
// names that differ only in case or that become one name once made safe) saved through the real
// destination: nothing leaves DEST/#, and every checked file arrives once with its own bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "JobChecks.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanFile.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

const std::vector<std::u16string> kHostileNames = {
    u"..", u".", u"", u"a/b", std::u16string(u"a\0b", 3), u"a_b", u"A.TXT", u"a.txt", u"../../escape",
    u"/etc/passwd", u"#", u"back\\slash:colon", std::u16string(255, u'L'), std::u16string(255, u'L') + u"x"};

// Saves every checked entry of the state's tree into DEST (alone in a fresh parent folder) and
// checks the result: only "#" in DEST, only DEST in the parent, only folders and plain files, and
// the files' contents exactly the expected ones, each once.
void SaveAndCheck(EngineState& state, std::vector<std::vector<uint8_t>> expected) {
  test::TempFolder parent;
  const std::string dest = parent.Path() + "/dest";
  fs::create_directory(dest);
  std::string error;
  auto destination = PosixDestination::Open(dest, &error);
  ASSERT_TRUE(destination) << error;
  SetChecked(state.scanRoot->firstChild, 1);
  state.keepRunning = 1;
  SaveSummary summary;
  EXPECT_EQ(SaveCheckedEntries(state, *destination, &summary), 1);
  EXPECT_EQ(summary.Failures(), 0u) << summary.destinationError;

  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(parent.Path())) top.push_back(entry.path().filename().string());
  EXPECT_EQ(top, std::vector<std::string>{"dest"});
  top.clear();
  for (const auto& entry : fs::directory_iterator(dest)) top.push_back(entry.path().filename().string());
  EXPECT_EQ(top, std::vector<std::string>{"#"});
  std::vector<std::vector<uint8_t>> saved;
  for (const auto& entry : fs::recursive_directory_iterator(dest)) {
    EXPECT_TRUE(entry.is_directory() || entry.is_regular_file()) << entry.path();
    EXPECT_FALSE(entry.is_symlink()) << entry.path();
    EXPECT_LE(entry.path().filename().string().size(), 255u);
    if (entry.is_regular_file()) saved.push_back(test::ReadWholeFile(entry.path().string()));
  }
  std::sort(saved.begin(), saved.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(saved.size(), expected.size()) << "files saved";
  EXPECT_TRUE(saved == expected) << "every file arrives once with its own bytes";
}

std::vector<uint8_t> Content(size_t index) {
  const std::string text = "content of entry " + std::to_string(index) + "\n";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.resize(bytes.size() + index * 11, static_cast<uint8_t>('a' + index % 26));
  return bytes;
}

TEST(HostileNames, AFileOfThisSaveIsNeverReplacedOneOfAnEarlierSaveIs) {
  test::TempFolder folder;
  auto destination = PosixDestination::Open(folder.Path(), nullptr);
  ASSERT_TRUE(destination);
  std::unique_ptr<OutputFile> file;
  ASSERT_EQ(destination->CreateFolder("#"), CreateStatus::Done);
  ASSERT_EQ(destination->EnterFolder("#"), 1);
  ASSERT_EQ(destination->CreateFile("x.txt", &file), CreateStatus::Done);
  ASSERT_EQ(file->Close(), 1);
  EXPECT_EQ(destination->CreateFile("x.txt", &file), CreateStatus::Exists);
  ASSERT_EQ(destination->LeaveFolder(), 1);
  ASSERT_EQ(destination->EnterFolder("#"), 1);  // the next save
  EXPECT_EQ(destination->CreateFile("x.txt", &file), CreateStatus::Done);
}

TEST(HostileNames, FromAnNtfsVolume) {
  test::NtfsGeometry geometry;
  geometry.mftRecords = 64;
  test::NtfsImageBuilder b(geometry);
  std::vector<std::vector<uint8_t>> expected;
  uint64_t record = 16;
  for (const std::u16string& name : kHostileNames) {
    // The table scan lists deleted files with a name only; a file-name attribute holds 255
    // characters at most.
    if (name.empty() || name.size() > 255) continue;
    expected.push_back(Content(expected.size()));
    b.AddFile(record++, name, 5, 0).ResidentData(expected.back());
  }
  // A deleted folder called ".." and one called "/", each with a file.
  b.AddFolder(40, u"..", 5, test::kRecordFolder);
  b.AddFolder(41, u"/", 5, test::kRecordFolder);
  for (uint64_t folder : {40, 41}) {
    expected.push_back(Content(expected.size()));
    b.AddFile(folder + 10, u"..", folder, 0).ResidentData(expected.back());
  }
  const std::vector<uint8_t> volume = b.Build();
  test::JobRun run;
  run.Run(volume, test::ScanJobKind::FastScan);
  ASSERT_EQ(run.result, 1);
  ASSERT_EQ(test::FoundFiles(run.state).size(), expected.size());
  SaveAndCheck(run.state, expected);
}

TEST(HostileNames, FromFat16AndFat32LongNames) {
  for (test::FatWidth width : {test::FatWidth::Fat16, test::FatWidth::Fat32}) {
    SCOPED_TRACE(width == test::FatWidth::Fat16 ? "FAT16" : "FAT32");
    test::FatImageBuilder b(test::FatLayout{width, 4096, 1, 0, 0});
    std::vector<std::vector<uint8_t>> expected;
    int n = 0;
    for (const std::u16string& name : kHostileNames) {
      if (name.empty()) continue;  // a long name of no characters is no long name
      test::FatEntry entry;
      entry.shortName = "F" + std::to_string(n++) + ".BIN";
      entry.longName = name;
      entry.deleted = true;
      expected.push_back(Content(expected.size()));
      b.AddFile(b.RootFolder(), entry, expected.back());
    }
    test::JobRun run;
    const std::vector<uint8_t> volume = b.Take();
    run.Run(volume, test::ScanJobKind::FastScan);
    ASSERT_EQ(run.result, 1);
    ASSERT_EQ(test::FoundFiles(run.state).size(), expected.size());
    SaveAndCheck(run.state, expected);
  }
}

TEST(HostileNames, FourThousandCharacterNamesFromAScanFile) {
  // A scan of a whole disk, saved to a scan file and read back, whose found files carry names of
  // 4,096 characters that are the same at both ends (so they shorten to one name).
  std::vector<uint8_t> disk(64 * 512);
  for (size_t i = 0; i < disk.size(); ++i) disk[i] = static_cast<uint8_t>(i / 512 * 13 + i % 7);
  EngineState written;
  written.volumeInfo.kind = SourceKind::Disk;
  written.volumeInfo.totalSectors = 64;
  written.scanRoot = NewNode(written);
  written.scanRoot->name = u".";
  written.scanRoot->status = kStatusLiveFolder;
  std::vector<std::vector<uint8_t>> expected;
  for (uint32_t i = 0; i < 4; ++i) {
    std::u16string name = std::u16string(2000, u'n') + std::u16string(96, static_cast<char16_t>(u'a' + i)) +
                          std::u16string(2000, u'n');
    if (i == 3) name = std::u16string(4096, u'.');
    ScanNode* node = test::AddNode(written, written.scanRoot, name, 1);
    node->carveSource = kCarveDisk;
    node->location = i * 8;
    node->size = 1024 + i * 512;
    expected.emplace_back(disk.begin() + i * 8 * 512, disk.begin() + i * 8 * 512 + node->size);
  }
  NumberTree(written, written.scanRoot);
  std::stringstream file;
  ASSERT_EQ(WriteScanInfoTo(written, file), 1);

  EngineState state;
  ASSERT_EQ(ReadScanInfoFrom(state, file), 1);
  ASSERT_EQ(state.scanRoot->firstChild->name.size(), 4096u);
  state.deviceHandle = std::make_unique<MemorySourceReader>(disk);
  SaveAndCheck(state, expected);
}

}  // namespace
}  // namespace restora
