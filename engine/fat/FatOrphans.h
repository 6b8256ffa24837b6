// SPDX-License-Identifier: GPL-3.0-or-later
// Orphaned FAT folders: folder clusters that the walk from the root did not read (a deleted
// folder whose own entry was reused, the later clusters of a deleted folder whose chain was
// cleared), found in a pass over the data area by their "." and ".." entries or by a run of valid
// entries, and their deleted files listed in the tree.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ByteReader.h"
#include "EngineState.h"

namespace restora {

// The folder clusters a walk read: cluster -> first cluster of the folder it belongs to.
using WalkedFolderClusters = std::unordered_map<uint32_t, uint32_t>;

class FatOrphanSearch {
 public:
  FatOrphanSearch(EngineState& state, WalkedFolderClusters walked);

  // Looks at every data cluster in bytes, which were read at volume sector firstSector, and keeps
  // those that hold an orphaned folder's entries. A cluster cut by the end of bytes is completed
  // by the next call when that one goes on where this one ended.
  void Examine(uint64_t firstSector, Bytes bytes);

  // Lists the deleted files of the kept clusters in the tree below root: in the folder the
  // cluster belongs to when that folder is in the tree; otherwise in a folder "#<cluster>" for
  // the orphaned folder, placed in its parent when ".." names a folder of the tree and under a
  // placeholder "#<parent cluster>" below the root when not. Folders that end up without files
  // are not added. Returns the number of files listed.
  uint64_t Attach(ScanNode* root);

  size_t CandidateCount() const { return candidates_.size(); }

  static constexpr uint64_t kMaxKeptBytes = uint64_t{256} << 20;  // clusters kept for Attach

 private:
  struct Candidate {
    uint32_t cluster = 0;
    uint32_t self = 0;    // "." first cluster, 0 without one
    uint32_t parent = 0;  // ".." first cluster (0: the root)
    std::vector<uint8_t> bytes;
  };
  bool IsOrphanedFolderCluster(uint32_t cluster, Bytes bytes, Candidate& candidate) const;
  void ExamineWhole(uint64_t firstSector, Bytes bytes);

  EngineState& state_;
  WalkedFolderClusters walked_;
  std::vector<Candidate> candidates_;
  std::vector<uint8_t> carry_;  // the head of a cluster the last piece cut off
  uint64_t carrySector_ = 0;
  uint64_t keptBytes_ = 0;
  bool full_ = false;
};

// Reads the whole data area of the open FAT volume in large pieces and hands them to search
// (the fast scan's deep option). Reports progress and asks KeepRunning per piece.
// Returns 1 when it reached the end, 0 when keepRunning stopped it.
int ReadDataAreaForOrphans(EngineState& state, FatOrphanSearch& search);

}  // namespace restora
