// SPDX-License-Identifier: GPL-3.0-or-later
// What the desktop tests share: a FAT16 volume with deleted files and folders, a source whose
// reads the test can hold back, and the window's questions answered by the test.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "EngineState.h"
#include "FatImageBuilder.h"
#include "MainFrame.h"
#include "SourceReader.h"

namespace restora::test {

// A FAT16 volume: live and deleted files in the root and in folders (one deleted), plus
// folderCount small folders that make the walk long enough to stop. deleted maps the path of
// every deleted file to its content.
struct ShellVolume {
  std::vector<uint8_t> bytes;
  std::map<std::string, std::vector<uint8_t>> deletedFiles;
};

inline ShellVolume BuildShellVolume(int folderCount = 0) {
  ShellVolume volume;
  FatImageBuilder b = FatImageBuilder::Fat16(16384, 1);
  // Entries carry long names, which a deleted entry keeps whole (its short name loses its first
  // character).
  const auto longName = [](const std::string& name) { return std::u16string(name.begin(), name.end()); };
  const auto add = [&](uint32_t folder, const std::string& name, const std::string& path, size_t size, uint32_t seed,
                       bool deleted) {
    FatEntry entry;
    entry.longName = longName(name);
    entry.deleted = deleted;
    const std::vector<uint8_t> content = FatImageBuilder::Pattern(size, seed);
    b.AddFile(folder, entry, content);
    if (deleted) volume.deletedFiles[path] = content;
  };
  add(b.RootFolder(), "Live.txt", "Live.txt", 100, 1, false);
  add(b.RootFolder(), "Photo.jpg", "Photo.jpg", 12000, 2, true);
  FatEntry docs;
  docs.longName = u"Docs";
  docs.attributes = kFatAttrFolder;
  const uint32_t docsCluster = b.AddFolder(b.RootFolder(), docs);
  add(docsCluster, "Report.txt", "Docs/Report.txt", 5000, 3, true);
  FatEntry old;
  old.longName = u"Old";
  old.attributes = kFatAttrFolder;
  old.deleted = true;
  const uint32_t oldCluster = b.AddFolder(docsCluster, old);
  add(oldCluster, "A.bin", "Docs/Old/A.bin", 3000, 4, true);
  for (int i = 0; i < folderCount; ++i) {
    FatEntry folder;
    folder.longName = longName("F" + std::to_string(i));
    folder.attributes = kFatAttrFolder;
    const uint32_t cluster = b.AddFolder(b.RootFolder(), folder);
    add(cluster, "X.txt", "F" + std::to_string(i) + "/X.txt", 700, 10 + static_cast<uint32_t>(i), true);
  }
  volume.bytes = b.Take();
  return volume;
}

// A source in memory whose reads the test can hold: the read asked for waits inside the source
// until the test releases it, as a slow disk would.
class HeldReader final : public SourceReader {
 public:
  explicit HeldReader(std::vector<uint8_t> bytes) : inner_(std::move(bytes)) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override {
    {
      std::unique_lock lock(mutex_);
      ++reads_;
      if (holdAt_ != 0 && reads_ == holdAt_) {
        held_ = true;
        released_.wait(lock, [this] { return !held_; });
      }
    }
    return inner_.ReadAt(offset, buffer, delivered);
  }
  uint64_t SizeBytes() const override { return inner_.SizeBytes(); }
  std::string Describe() const override { return "held"; }

  // Holds the n-th read from now.
  void HoldRead(uint64_t n) {
    std::lock_guard lock(mutex_);
    holdAt_ = reads_ + n;
  }
  bool Holding() {
    std::lock_guard lock(mutex_);
    return held_;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
      holdAt_ = 0;
    }
    released_.notify_all();
  }
  uint64_t Reads() {
    std::lock_guard lock(mutex_);
    return reads_;
  }

 private:
  MemorySourceReader inner_;
  std::mutex mutex_;
  std::condition_variable released_;
  uint64_t reads_ = 0;
  uint64_t holdAt_ = 0;
  bool held_ = false;
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
    frame.SetMessageHook([this](QMessageBox& box) {
      texts << box.text();
      return answer;
    });
  }
};

}  // namespace restora::test
