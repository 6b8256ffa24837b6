// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the recovery writer's tests: a temporary folder, an output file in memory, a
// destination that refuses chosen names, and a listing of what a save left on disk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Destination.h"
#include "EngineState.h"

namespace restora::test {

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Collects what is written; can be told to fail every write after a number of bytes.
class MemoryOutputFile final : public OutputFile {
 public:
  int Write(std::span<const uint8_t> bytes) override;
  int Close() override { return closed_ = true, writeFailed_ ? 0 : 1; }
  void FailAfterBytes(uint64_t bytes) { failAfter_ = bytes; }

  std::vector<uint8_t> bytes;

 private:
  uint64_t failAfter_ = ~uint64_t{0};
  bool writeFailed_ = false;
  bool closed_ = false;
};

// Passes everything to another destination, except that creating or entering one of the given
// names fails (as a full or write-protected disk would).
class RefusingDestination final : public Destination {
 public:
  explicit RefusingDestination(Destination& inner) : inner_(inner) {}
  std::set<std::string> refusedCreations;
  std::set<std::string> refusedEntries;

  CreateStatus CreateFolder(const std::string& name) override;
  CreateStatus CreateFile(const std::string& name, std::unique_ptr<OutputFile>* file) override;
  int EnterFolder(const std::string& name) override;
  int LeaveFolder() override { return inner_.LeaveFolder(); }
  std::string LastError() const override { return refused_ ? "refused by the test" : inner_.LastError(); }

 private:
  Destination& inner_;
  bool refused_ = false;
};

// Stops the job (clears keepRunning) at the given progress step, counting from 1.
class StopAtProgress final : public ProgressSink {
 public:
  StopAtProgress(EngineState& state, uint64_t step) : state_(state), step_(step) {}
  void Progress(uint64_t done, uint64_t) override {
    if (done >= step_) state_.keepRunning = 0;
  }

 private:
  EngineState& state_;
  uint64_t step_;
};

// Every entry below folder: relative path → size in bytes, -1 for a folder, -2 for anything
// else (a link, a FIFO).
std::map<std::string, int64_t> ListTree(const std::string& folder);


// A node appended at the end of folder's children (so list order is creation order).
ScanNode* AddNode(EngineState& state, ScanNode* folder, std::u16string name, uint8_t checked = 1);

}  // namespace restora::test
