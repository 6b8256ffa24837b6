// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine tests share: memory sources, the sample-volume folder, a temporary folder, one
// recording progress sink, the tree as the CLI lists it, and a selected signature record.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "Destination.h"
#include "EngineState.h"
#include "FaultInjectingReader.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "SearchType.h"
#include "TreeFault.h"
#include "VolumeAccess.h"

namespace restora::test {

// Opens bytes as the state's source in the given mode (a memory source). Returns OpenSource's result.
inline int OpenMemorySource(EngineState& state, std::vector<uint8_t> bytes, OpenMode mode = OpenMode::Image) {
  return OpenSource(state, mode, std::make_unique<MemorySourceReader>(std::move(bytes)), u"memory");
}

// The folder of the public sample images, or empty when it is not there.
std::string CorpusFolder();

// A source opened from bytes and scanned (the fast scan, or with the signature search).
struct ScannedVolume {
  ~ScannedVolume() { CleanUp(state); }
  EngineState state;
  int opened = 0;
  int result = -1;
  std::vector<std::string> Lines() const;  // TreeLines of the state
};
std::unique_ptr<ScannedVolume> ScanVolume(std::vector<uint8_t> bytes, ProgressSink* sink = nullptr,
                                          uint8_t withSearch = 0, OpenMode mode = OpenMode::Image);

// The whole content of a file, or empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Appends a node to folder's children; folders get the folder status bit.
inline ScanNode* AppendNode(EngineState& state, ScanNode* folder, const std::u16string& name, bool isFolder,
                            uint64_t size = 0, uint8_t status = 1) {
  ScanNode* node = NewNode(state);
  node->name = name;
  node->size = size;
  node->status = static_cast<uint8_t>(status | (isFolder ? kStatusFolder : 0));
  ScanNode** slot = &folder->firstChild;
  while (*slot != nullptr) slot = &(*slot)->next;
  return *slot = node;
}

// A fresh root in state (FAT16 kind); the caller numbers the tree after adding nodes.
inline ScanNode* MakeRoot(EngineState& state) {
  state.volumeInfo.kind = SourceKind::Fat16;
  state.scanRoot = NewNode(state);
  state.scanRoot->status = kStatusLiveFolder;
  return state.scanRoot;
}

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

// Collects what is written.
class MemoryOutputFile final : public OutputFile {
 public:
  int Write(std::span<const uint8_t> data) override { return bytes.insert(bytes.end(), data.begin(), data.end()), 1; }
  int Close() override { return 1; }
  std::vector<uint8_t> bytes;
};

// Records diagnostics and what a job reports after a stop, and clears keepRunning at checkpoint stopAt (0: never); what the
// job still does after the stop is counted apart.
class RecordingSink : public ProgressSink {
 public:
  void Progress(uint64_t, uint64_t) override { stepsAfterStop += stopped; }
  void Diagnostic(std::string_view line) override { diagnostics.emplace_back(line); }
  void Checkpoint() override;

  EngineState* state = nullptr;
  const FaultInjectingReader* reader = nullptr;  // when given, its reads at the stop are noted
  uint64_t stopAt = 0, readsAtStop = 0;
  bool stopped = false;
  uint64_t checkpoints = 0, checkpointsAfterStop = 0, stepsAfterStop = 0;
  std::vector<std::string> diagnostics;
};

// The tree below the root as restora-cli lists it: "status size path" per node.
std::vector<std::string> TreeLines(const EngineState& state);

inline const std::vector<uint8_t> kPdfHeader = {'%', 'P', 'D', 'F', '-'};

// One found file: name, size, where it lies (NTFS record sector, FAT first cluster, or a found
// file's first sector) and whether the signature search found it.
using FoundEntry = std::tuple<std::string, uint64_t, uint64_t, bool>;
std::multiset<FoundEntry> FoundFiles(const EngineState& state);

}  // namespace restora::test
