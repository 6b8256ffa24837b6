// SPDX-License-Identifier: GPL-3.0-or-later
// The destination folder of a save on a POSIX file system. Every folder and file is made with
// mkdirat/openat relative to the folder being written, never through a symbolic link, and in
// the destination folder itself only the folder "#" can be made or entered, so nothing can be
// created outside "<destination>/#".
#pragma once

#include <sys/types.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Destination.h"

namespace restora {

class PosixDestination final : public Destination {
 public:
  // Opens folder as the destination; when makeMissing, a folder that does not exist yet is made
  // first (its parent must exist). On failure returns null and sets *error to one line ("cannot
  // open DIR: …", "cannot make DIR: …", "DIR is not a folder").
  static std::unique_ptr<PosixDestination> Open(const std::string& folder, std::string* error,
                                                bool makeMissing = false);
  ~PosixDestination() override;
  PosixDestination(const PosixDestination&) = delete;
  PosixDestination& operator=(const PosixDestination&) = delete;

  // Whether saved files take over their entries' times (the default) or keep the time of the save.
  void KeepEntryTimes(bool keep) { keepTimes_ = keep; }

  // A file that may never be replaced (an image file being recovered from): a name that leads
  // to it counts as taken.
  void ProtectFile(dev_t device, ino_t inode) { protected_.emplace_back(device, inode); }

  CreateStatus CreateFolder(const std::string& name) override;
  CreateStatus CreateFile(const std::string& name, std::unique_ptr<OutputFile>* file) override;
  int EnterFolder(const std::string& name) override;
  int LeaveFolder() override;
  std::string LastError() const override { return lastError_; }

  // Folders entered below the destination folder.
  size_t Depth() const { return levels_.size() - 1; }

 private:
  struct Level {
    std::string name;
    int fd = -1;  // -1 while closed to save descriptors; reopened from its ancestors when needed
  };

  explicit PosixDestination(int fd);
  bool Acceptable(const std::string& name);
  int CurrentFd();
  void Fail(const std::string& reason) { lastError_ = reason; }
  void FailErrno(int error);

  std::vector<Level> levels_;  // levels_[0] is the destination folder itself
  std::vector<std::pair<dev_t, ino_t>> protected_;
  // Files the current save created: another entry whose name leads to one of them (the same
  // name once made safe, or on a destination that ignores case) must not replace it.
  std::set<std::pair<dev_t, ino_t>> savedFiles_;
  std::string lastError_;
  bool keepTimes_ = true;
};

}  // namespace restora
