// SPDX-License-Identifier: GPL-3.0-or-later
// What the desktop tests and the screenshots share: a FAT16 volume with deleted files and
// folders, a source whose reads the test can hold back, and the window's questions answered.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EngineState.h"
#include "FatImageBuilder.h"
#include "MainFrame.h"
#include "SourceReader.h"

namespace restora::test {

// A FAT16 volume: a live file, deleted files in the root, in "Docs" and in its deleted folder
// "Old", plus folderCount folders with one deleted file each (a walk long enough to stop).
// deletedFiles maps the path of every deleted file to its content.
struct ShellVolume {
  std::vector<uint8_t> bytes;
  std::map<std::string, std::vector<uint8_t>> deletedFiles;
};

inline ShellVolume BuildShellVolume(int folderCount = 0) {
  ShellVolume volume;
  FatImageBuilder b = FatImageBuilder::Fat16(16384, 1);
  // Long names, which a deleted entry keeps whole (its short name loses its first character).
  const auto add = [&](uint32_t folder, const std::string& path, size_t size, bool deleted, bool isFolder = false) {
    FatEntry entry;
    const std::string name = path.substr(path.rfind('/') + 1);
    entry.longName = std::u16string(name.begin(), name.end());
    entry.deleted = deleted;
    if (isFolder) {
      entry.attributes = kFatAttrFolder;
      return b.AddFolder(folder, entry);
    }
    const std::vector<uint8_t> content = FatImageBuilder::Pattern(size, static_cast<uint32_t>(path.size() * 31 + size));
    b.AddFile(folder, entry, content);
    if (deleted) volume.deletedFiles[path] = content;
    return uint32_t{0};
  };
  add(b.RootFolder(), "Live.txt", 100, false);
  add(b.RootFolder(), "Photo.jpg", 12000, true);
  const uint32_t docs = add(b.RootFolder(), "Docs", 0, false, true);
  add(docs, "Docs/Report.txt", 5000, true);
  add(add(docs, "Docs/Old", 0, true, true), "Docs/Old/A.bin", 3000, true);
  for (int i = 0; i < folderCount; ++i) {
    const std::string folder = "F" + std::to_string(i);
    add(add(b.RootFolder(), folder, 0, false, true), folder + "/X.txt", 700, true);
  }
  volume.bytes = b.Take();
  return volume;
}

inline QString WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A source in memory whose n-th read from HoldRead on waits inside the source until Release, as
// a slow disk would.
class HeldReader final : public SourceReader {
 public:
  explicit HeldReader(std::vector<uint8_t> bytes) : inner_(std::move(bytes)) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override {
    if (++reads == holdAt) {
      for (held = true; held;) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return inner_.ReadAt(offset, buffer, delivered);
  }
  uint64_t SizeBytes() const override { return inner_.SizeBytes(); }
  std::string Describe() const override { return "held"; }
  void HoldRead(uint64_t n) { holdAt = reads + n; }
  void Release() { holdAt = 0, held = false; }

  std::atomic<uint64_t> reads = 0, holdAt = 0;
  std::atomic<bool> held = false;

 private:
  MemorySourceReader inner_;
};

// Processes events until done() holds or about five seconds pass. Returns done().
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) QTest::qWait(10);
  return done();
}

// Answers every message box of frame with answer and keeps its text.
struct Answers {
  QStringList texts;
  int answer = QMessageBox::Ok;
  void Install(CMainFrame& frame) {
    frame.SetMessageHook([this](QMessageBox& box) { return texts << box.text(), answer; });
  }
};

}  // namespace restora::test
