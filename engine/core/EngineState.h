// SPDX-License-Identifier: GPL-3.0-or-later
// Everything one engine instance knows: the open source and its description, the scan tree, the
// lists the scans build, the stop flag and the counters. The program keeps one; tests make many.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "NodePool.h"
#include "PartitionVolume.h"
#include "ProgressSink.h"
#include "ScanModel.h"
#include "SignatureRecord.h"
#include "SourceReader.h"

namespace restora {

struct EngineState {
  EngineState() = default;
  EngineState(const EngineState&) = delete;
  EngineState& operator=(const EngineState&) = delete;

  VolumeInfo volumeInfo;
  std::u16string volumePath;  // device path of a drive or disk as opened; empty for an image
  ScanNode* scanRoot = nullptr;
  std::unique_ptr<SourceReader> deviceHandle;  // the open source; null when closed
  // A whole disk scanned partition by partition: one entry per partition, each reading through a
  // window on deviceHandle (so declared after it, to close first). Empty for any other source.
  std::vector<PartitionVolume> partitions;

  std::vector<NtfsRun> mftRuns;           // extents of the master file table
  std::vector<ClusterLink> clusterChain;  // last chain built by BuildClusterChain
  ScanNode* pendingFirst = nullptr;       // entries of the FAT folder being read
  ScanNode* pendingLast = nullptr;

  std::unique_ptr<std::ifstream> signatureFileHandle;  // the open "Signature" file
  std::vector<SignatureRecord> signatureList;          // known or selected types, head first

  // Whether the signature search cuts each found file at the end its format gives (within the
  // maximum size); false gives every found file the maximum size (or the compound document's
  // count formula), as a fixed-size search does.
  bool cutAtFormatEnd = true;

  std::atomic<uint32_t> keepRunning{0};  // 1 while a job may go on
  uint64_t totalBytes = 0;
  uint32_t fileCount = 0;
  uint32_t folderCount = 0;

  NodePool pool;                      // every node of the tree comes from here
  ProgressSink* progress = nullptr;   // null: progress and diagnostics are dropped

  // Asked at the top of every engine loop: passes the sink's checkpoint, then reads the flag.
  bool KeepRunning() {
    if (progress != nullptr) progress->Checkpoint();
    return keepRunning.load(std::memory_order_relaxed) != 0;
  }
  void ReportProgress(uint64_t done, uint64_t total) {
    if (progress != nullptr) progress->Progress(done, total);
  }
  void ReportDiagnostic(std::string_view line) {
    if (progress != nullptr) progress->Diagnostic(line);
  }
  bool NtfsLayout() const { return UsesNtfsLayout(volumeInfo.kind); }
};

}  // namespace restora
