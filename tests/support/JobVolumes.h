// SPDX-License-Identifier: GPL-3.0-or-later
// Small NTFS, FAT16 and FAT32 volumes with a bit of everything the jobs handle, one run of any
// job over them behind a fault-injecting source, and what a run found or saved.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "EngineState.h"
#include "FaultInjectingReader.h"
#include "TestSupport.h"

namespace restora::test {

inline const std::vector<uint8_t> kJpegHeader = {0xFF, 0xD8, 0xFF, 0xE0};
inline const std::vector<uint8_t> kPdfHeader = {'%', 'P', 'D', 'F', '-'};

// Live and deleted folders three deep, files with long names, in several clusters or fragments,
// a folder loop (NTFS), and files and free clusters that begin with a JPEG or PDF header.
// sectorsReadByScan (FAT only): what the walk reads, the area before the data and the folders.
struct JobVolume {
  std::string name;
  std::vector<uint8_t> bytes;
  std::set<uint64_t> sectorsReadByScan;
  bool ntfs = false;
};
std::vector<JobVolume> JobVolumes();

// One found file: name, size, where it lies (NTFS record sector, FAT first cluster, or a found
// file's first sector) and whether the signature search found it.
using FoundEntry = std::tuple<std::string, uint64_t, uint64_t, bool>;
std::multiset<FoundEntry> FoundFiles(const EngineState& state);
inline uint64_t Where(const FoundEntry& entry) { return std::get<2>(entry); }
std::multiset<FoundEntry> Missing(const std::multiset<FoundEntry>& whole, const std::multiset<FoundEntry>& part);

enum class Job { FastScan, LostFileSearch, DiskSearch, Image, SaveFiles, SaveFound };
const char* JobName(Job job);

// One run of a job. Scans meet the faults from the open on; imaging and saves scan a healthy
// source first (fast scan, or the disk search for SaveFound) and meet the faults and the stop
// (counted from the job's own first check) in their own part.
struct JobRun {
  JobRun(std::span<const uint8_t> bytes, Job job, const std::function<void(FaultInjectingReader&)>& arrange = {},
         uint64_t stopAt = 0);
  ~JobRun();
  JobRun(const JobRun&) = delete;

  EngineState state;
  RecordingSink sink;
  FaultInjectingReader* faults = nullptr;  // owned by state.deviceHandle
  int opened = 0;
  int result = -1;
  uint64_t readsAfterStop = 0;
  std::multiset<FoundEntry> found;
  std::vector<uint8_t> image;
  uint64_t imageBlocks = 0;
  std::map<std::string, std::vector<uint8_t>> saved;  // path below DEST → content; folders "/"
  bool escaped = false;  // something other than DEST/# or a plain file or folder appeared
};

// Every byte of got is the healthy byte or a zero, and got is no longer.
bool ZerosWhereReadsFailed(const std::vector<uint8_t>& got, const std::vector<uint8_t>& healthy);

}  // namespace restora::test
