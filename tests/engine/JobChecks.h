// SPDX-License-Identifier: GPL-3.0-or-later
// Checks shared by the read-fault and stop tests: a tree that is numbered and consistent, nothing
// held by the pool outside the tree, and the found entries of a tree as comparable sets.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "EngineState.h"
#include "FatImageBuilder.h"
#include "FaultInjectingReader.h"
#include "NtfsImageBuilder.h"
#include "ScanDriver.h"
#include "VolumeAccess.h"
#include "ScanTree.h"
#include "SignatureRecord.h"
#include "TextCodec.h"

namespace restora::test {

// After a numbering pass: every child points at its folder and carries the folder's id, siblings
// have consecutive ids, the ids below the root are exactly 1..N for N nodes, no node is reached
// twice, and the pool holds no node besides the tree's (a node dropped on the way leaks there).
inline ::testing::AssertionResult NumberedAndConsistent(const EngineState& state) {
  const ScanNode* root = state.scanRoot;
  if (root == nullptr) return ::testing::AssertionFailure() << "no root";
  std::set<const ScanNode*> seen{root};
  std::set<uint32_t> ids;
  std::vector<const ScanNode*> folders{root};
  while (!folders.empty()) {
    const ScanNode* folder = folders.back();
    folders.pop_back();
    uint32_t previous = 0;
    for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
      if (!seen.insert(child).second) return ::testing::AssertionFailure() << "a node is reached twice";
      if (child->parent != folder) return ::testing::AssertionFailure() << "parent link of " << Utf16ToUtf8(child->name);
      if (child->parentId != folder->id) return ::testing::AssertionFailure() << "parentId of " << Utf16ToUtf8(child->name);
      if (child != folder->firstChild && child->id != previous + 1) {
        return ::testing::AssertionFailure() << "siblings not numbered consecutively at " << Utf16ToUtf8(child->name);
      }
      previous = child->id;
      ids.insert(child->id);
      if (child->firstChild != nullptr) folders.push_back(child);
    }
  }
  const size_t nodes = seen.size() - 1;
  if (ids.size() != nodes) return ::testing::AssertionFailure() << "ids are not unique";
  if (nodes > 0 && (*ids.begin() != 1 || *ids.rbegin() != nodes)) {
    return ::testing::AssertionFailure() << "ids run " << *ids.begin() << ".." << *ids.rbegin() << " for " << nodes << " nodes";
  }
  if (state.pool.LiveCount() != nodes + 1) {
    return ::testing::AssertionFailure() << state.pool.LiveCount() << " live nodes for a tree of " << nodes + 1;
  }
  return ::testing::AssertionSuccess();
}

// One found file as comparable fields: name, size, where it lies (the NTFS record's sector, the
// FAT entry's first cluster, or a found file's first sector) and whether the search found it.
using FoundEntry = std::tuple<std::string, uint64_t, uint64_t, bool>;

inline bool Carved(const FoundEntry& entry) { return std::get<3>(entry); }
inline uint64_t Where(const FoundEntry& entry) { return std::get<2>(entry); }

// Every file (not folder) of the tree, whichever folder holds it.
inline std::multiset<FoundEntry> FoundFiles(const EngineState& state) {
  const ScanNode* root = state.scanRoot;
  const bool ntfs = state.NtfsLayout();
  std::multiset<FoundEntry> files;
  std::vector<const ScanNode*> lists{root->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      if (!node->IsFolderStatus()) {
        files.emplace(Utf16ToUtf8(node->name), node->size, ntfs ? node->location : node->firstCluster,
                      node->carveSource != kCarveNone);
      }
      if (node->firstChild != nullptr) lists.push_back(node->firstChild);
    }
  }
  return files;
}

// The entries of whole that part lacks.
inline std::multiset<FoundEntry> Missing(const std::multiset<FoundEntry>& whole, const std::multiset<FoundEntry>& part) {
  std::multiset<FoundEntry> missing;
  std::set_difference(whole.begin(), whole.end(), part.begin(), part.end(), std::inserter(missing, missing.end()));
  return missing;
}

// A selected file type for the signature search.
inline SignatureRecord SearchType(const char* extension, std::vector<uint8_t> header, uint8_t family = 0) {
  SignatureRecord record;
  std::strncpy(record.extension.data(), extension, record.extension.size() - 1);
  std::strncpy(record.category.data(), "Found", record.category.size() - 1);
  std::strncpy(record.typeName.data(), extension, record.typeName.size() - 1);
  record.selected = 1;
  record.family = family;
  record.headerLength = static_cast<uint8_t>(header.size());
  std::copy(header.begin(), header.end(), record.headerBytes.begin());
  record.maxSizeMiB = 1024;
  return record;
}

inline const std::vector<uint8_t> kJpegHeader = {0xFF, 0xD8, 0xFF, 0xE0};
inline const std::vector<uint8_t> kPdfHeader = {'%', 'P', 'D', 'F', '-'};


// A source over bytes the test keeps (no copy per run); reads like MemorySourceReader.
class BorrowedBytesReader : public SourceReader {
 public:
  explicit BorrowedBytesReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override {
    size_t count = 0;
    if (offset < bytes_.size()) {
      count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes_.size() - offset));
      std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, buffer.begin());
    }
    if (delivered != nullptr) *delivered = count;
    return 1;
  }
  uint64_t SizeBytes() const override { return bytes_.size(); }
  std::string Describe() const override { return "borrowed"; }

 private:
  std::span<const uint8_t> bytes_;
};

// Counts the checkpoints and steps of a job and clears keepRunning at checkpoint stopAt (0:
// never); what the job still does after that is counted apart.
class StopSink : public ProgressSink {
 public:
  void Progress(uint64_t, uint64_t) override {
    ++steps;
    if (stopped) ++stepsAfterStop;
  }
  void Diagnostic(std::string_view) override { ++diagnostics; }
  void Checkpoint() override {
    ++checkpoints;
    if (stopped) ++checkpointsAfterStop;
    if (stopAt != 0 && checkpoints == stopAt) {
      state->keepRunning = 0;
      stopped = true;
      if (reader != nullptr) readsAtStop = reader->ReadCount();
    }
  }
  EngineState* state = nullptr;
  const FaultInjectingReader* reader = nullptr;  // when given, its reads at the stop are noted
  uint64_t readsAtStop = 0;
  uint64_t stopAt = 0, checkpoints = 0, checkpointsAfterStop = 0, steps = 0, stepsAfterStop = 0, diagnostics = 0;
  bool stopped = false;
};

// The scan jobs as the program runs them: the fast scan, the lost-file search (fast scan, then
// the signature search) and the signature search of a whole disk.
enum class ScanJobKind { FastScan, LostFileSearch, DiskSearch };

inline const char* JobName(ScanJobKind job) {
  switch (job) {
    case ScanJobKind::FastScan: return "fast scan";
    case ScanJobKind::LostFileSearch: return "lost-file search";
    case ScanJobKind::DiskSearch: return "disk search";
  }
  return "?";
}

// One run of a scan job over bytes behind a fault-injecting source. The state stays open for
// the checks; the destructor cleans it up.
struct JobRun {
  EngineState state;
  StopSink sink;
  FaultInjectingReader* faults = nullptr;  // owned by state.deviceHandle while open
  int opened = 0;
  int result = -1;
  uint64_t readsAfterStop = 0;

  JobRun() = default;
  JobRun(const JobRun&) = delete;
  ~JobRun() { CleanUp(state); }

  // Opens the bytes (arrange sets up the faults first) and runs the job; stopAt as in StopSink.
  void Run(std::span<const uint8_t> bytes, ScanJobKind job, const std::function<void(FaultInjectingReader&)>& arrange = {},
           uint64_t stopAt = 0) {
    auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<BorrowedBytesReader>(bytes));
    faults = reader.get();
    if (arrange) arrange(*faults);
    sink.state = &state;
    sink.stopAt = stopAt;
    sink.reader = faults;
    state.progress = &sink;
    const OpenMode mode = job == ScanJobKind::DiskSearch ? OpenMode::PhysicalDisk : OpenMode::Image;
    opened = OpenSource(state, mode, std::move(reader), u"test");
    if (opened != 1) return;
    if (job != ScanJobKind::FastScan) state.signatureList = {SearchType("jpg", kJpegHeader), SearchType("pdf", kPdfHeader)};
    state.keepRunning = 1;
    result = ScanSource(state, job == ScanJobKind::FastScan ? 0 : 1);
    if (sink.stopped) readsAfterStop = faults->ReadCount() - sink.readsAtStop;
  }
};


// A small NTFS volume (1,024 sectors of 512 bytes, clusters of one sector, 1 KiB records) with a
// bit of everything the table scan rebuilds: live and deleted folders three deep, resident and
// fragmented files, a parent that is no folder, a folder loop; two files and two free clusters
// begin with a JPEG or PDF header for the signature search.
inline std::vector<uint8_t> BuildNtfsJobVolume() {
  NtfsGeometry geometry;
  geometry.sectorsPerCluster = 1;
  geometry.totalSectors = 1024;
  geometry.mftCluster = 64;
  geometry.mftMirrorCluster = 32;
  geometry.mftRecords = 64;
  NtfsImageBuilder b(geometry);
  const uint16_t liveFolder = kRecordInUse | kRecordFolder;
  auto content = [](const std::vector<uint8_t>& head, size_t size, uint8_t fill) {
    std::vector<uint8_t> bytes(size, fill);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
  };
  b.AddFolder(16, u"docs", 5, liveFolder);
  b.AddFolder(17, u"old", 16, kRecordFolder);
  b.AddFolder(18, u"older", 17, kRecordFolder);
  b.AddFile(20, u"a.txt", 16, 0).ResidentData(std::vector<uint8_t>(100, 'a'));
  b.AddFile(21, u"b.txt", 17, 0).ResidentData(std::vector<uint8_t>(200, 'b'));
  b.AddFile(22, u"photo.jpg", 18, 0).NonResident(b.DataStream(content(kJpegHeader, 3000, 0x11), 3));
  b.AddFile(23, u"live.txt", 16, kRecordInUse).ResidentData(std::vector<uint8_t>(10, 'l'));
  b.AddFile(24, u"orphan.txt", 40, 0).ResidentData(std::vector<uint8_t>(30, 'o'));
  b.AddFile(25, u"paper.pdf", 5, 0).NonResident(b.DataStream(content(kPdfHeader, 5000, 0x22), 2));
  b.AddFolder(30, u"loopA", 31, kRecordFolder);
  b.AddFolder(31, u"loopB", 30, kRecordFolder);
  b.AddFile(32, u"in-loop.txt", 30, 0).ResidentData(std::vector<uint8_t>(40, 'i'));
  b.AddFile(40, u"not-a-folder", 5, kRecordInUse).ResidentData(std::vector<uint8_t>(5, 'n'));
  for (uint64_t n = 41; n < 50; ++n) {
    b.AddFile(n, u"many" + std::u16string(1, static_cast<char16_t>(u'0' + (n - 41))), 16, 0)
        .ResidentData(std::vector<uint8_t>(n, 'm'));
  }
  b.WriteClusters(700, content(kJpegHeader, 600, 0x33));
  b.WriteClusters(1000, content(kPdfHeader, 512, 0x44));
  return b.Build();
}


// A small FAT16 or FAT32 volume (2,048 sectors, clusters of one sector) with a live folder, a
// deleted folder inside it and one below that, deleted files with long names, a folder of two
// clusters, and two deleted files that begin with a JPEG or PDF header. sectorsReadByScan holds
// the sectors the fast scan may read: everything before the data area and the folders' clusters.
struct FatJobVolume {
  std::vector<uint8_t> bytes;
  std::set<uint64_t> sectorsReadByScan;
};

inline FatJobVolume BuildFatJobVolume(FatWidth width) {
  FatImageBuilder b(FatLayout{width, 2048, 1, 0, 0});
  auto entry = [](const char* shortName, std::u16string longName, bool deleted, bool folder = false) {
    FatEntry e;
    e.shortName = shortName;
    e.longName = std::move(longName);
    e.deleted = deleted;
    if (folder) e.attributes = kFatAttrFolder;
    return e;
  };
  auto content = [](const std::vector<uint8_t>& head, size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes = FatImageBuilder::Pattern(size, seed);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
  };
  std::vector<uint32_t> folders{b.RootFolder()};
  const uint32_t docs = b.AddFolder(b.RootFolder(), entry("DOCS", u"Documents", false, true));
  const uint32_t old = b.AddFolder(docs, entry("OLD", u"old things", true, true));
  const uint32_t older = b.AddFolder(old, entry("OLDER", {}, true, true));
  folders.insert(folders.end(), {docs, old, older});
  b.AddFile(b.RootFolder(), entry("PAPER.PDF", u"a paper.pdf", true), content(kPdfHeader, 3000, 1));
  b.AddFile(docs, entry("A.TXT", u"a deleted note.txt", true), FatImageBuilder::Pattern(700, 2));
  b.AddFile(docs, entry("LIVE.TXT", {}, false), FatImageBuilder::Pattern(100, 3));
  b.AddFile(old, entry("PHOTO.JPG", u"holiday photo.jpg", false), content(kJpegHeader, 2000, 4));
  b.AddFile(old, entry("B.TXT", {}, true), FatImageBuilder::Pattern(300, 5));
  b.AddFile(older, entry("C.BIN", u"deep down.bin", true), FatImageBuilder::Pattern(5000, 6));
  // Enough entries to take DOCS into a second cluster, the last of them deleted.
  for (int i = 0; i < 14; ++i) {
    const std::string name = "F" + std::to_string(i) + ".TXT";
    b.AddFile(docs, entry(name.c_str(), {}, i % 3 == 0), FatImageBuilder::Pattern(50 + i, 10 + i));
  }
  b.AddFile(docs, entry("LAST.TXT", u"the last one.txt", true), FatImageBuilder::Pattern(90, 30));

  FatJobVolume volume;
  const uint64_t dataStart = b.ClusterOffset(2) / 512;
  for (uint64_t s = 0; s < dataStart; ++s) volume.sectorsReadByScan.insert(s);
  for (uint32_t folder : folders) {
    if (folder == 1) continue;  // the FAT16 root area lies before the data area
    for (uint32_t cluster = folder; cluster >= 2 && cluster < b.HighestCluster(); cluster = b.Fat(cluster)) {
      volume.sectorsReadByScan.insert(b.ClusterOffset(cluster) / 512);
      if (b.Fat(cluster) == 0 || b.Fat(cluster) >= b.EndOfChain() - 8) break;
    }
  }
  volume.bytes = b.Take();
  return volume;
}

// Every byte of got is the healthy byte or a zero, and got is no longer.
inline bool ZerosWhereReadsFailed(const std::vector<uint8_t>& got, const std::vector<uint8_t>& healthy) {
  if (got.size() > healthy.size()) return false;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != healthy[i] && got[i] != 0) return false;
  }
  return true;
}

// The small NTFS, FAT16 and FAT32 volumes every job is tried on, by name.
inline std::vector<std::pair<std::string, std::vector<uint8_t>>> JobVolumes() {
  return {{"NTFS", BuildNtfsJobVolume()},
          {"FAT16", BuildFatJobVolume(FatWidth::Fat16).bytes},
          {"FAT32", BuildFatJobVolume(FatWidth::Fat32).bytes}};
}

}  // namespace restora::test
