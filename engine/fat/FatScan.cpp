// SPDX-License-Identifier: GPL-3.0-or-later
// Reading FAT folders and the walk over the folder tree from the root.
#include "FatScan.h"

#include <algorithm>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FatData.h"
#include "FatDirEntry.h"
#include "ScanTree.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr size_t kMaxFolderReadBytes = 1 << 20;  // adjacent clusters are read together up to this

// Reads bytes at sector; a failed read leaves zeros, which end a folder at once.
void ReadOrZero(EngineState& state, uint64_t sector, std::span<uint8_t> bytes) {
  if (!ReadSectors(state, sector, bytes)) std::fill(bytes.begin(), bytes.end(), 0);
}

// Parses the clusters of one folder's chain, reading each run of adjacent clusters in one read.
// A run whose read fails is read again cluster by cluster, so only the unreadable clusters
// count as zeros. Stops at the folder's end.
void ParseChain(EngineState& state, FolderParse& parse) {
  const VolumeInfo& info = state.volumeInfo;
  const std::vector<ClusterLink>& chain = state.clusterChain;
  const size_t clusterBytes = FatClusterBytes(info);
  const size_t maxRun = std::max<size_t>(1, kMaxFolderReadBytes / std::max<size_t>(1, clusterBytes));
  std::vector<uint8_t> buffer;
  size_t first = 0;
  while (first < chain.size()) {
    size_t end = first + 1;
    while (end < chain.size() && end - first < maxRun && chain[end].cluster == chain[end - 1].cluster + 1) ++end;
    buffer.assign((end - first) * clusterBytes, 0);
    if (!ReadSectors(state, FatClusterSector(info, chain[first].cluster), buffer)) {
      for (size_t i = first; i < end; ++i) {
        const std::span<uint8_t> cluster(buffer.data() + (i - first) * clusterBytes, clusterBytes);
        ReadOrZero(state, FatClusterSector(info, chain[i].cluster), cluster);
      }
    }
    for (size_t i = first; i < end; ++i) {
      const Bytes cluster(buffer.data() + (i - first) * clusterBytes, clusterBytes);
      if (ParseFolderBuffer(state, cluster, parse) == 1) return;
    }
    first = end;
  }
}

// The walk over the folder tree. Each open folder has a frame holding the link to the child
// handled next, so a removed child is unlinked in place; the frames replace the recursion of
// folder into subfolder and keep its order of reads, counts and progress steps.
class FolderWalker {
 public:
  FolderWalker(EngineState& state, WalkedFolderClusters* walked) : state_(state), table_(state), walked_(walked) {}

  int Run(ScanNode* root) {
    Enter(root);
    bool stopping = false;
    while (true) {
      Frame& top = frames_.back();
      ScanNode* child = *top.link;
      if (child != nullptr && !stopping) {
        if (!state_.KeepRunning()) {
          stopping = true;
          continue;
        }
        state_.ReportProgress(state_.fileCount, static_cast<uint32_t>(state_.totalBytes));
        if ((child->attributes & kAttrFolder) == 0) {
          ++state_.fileCount;
          top.link = &child->next;
        } else if (MayWalk(child)) {
          Enter(child);
        } else {
          DropIfEmpty(top, child);
        }
        continue;
      }
      // The folder on top is done, or the walk was stopped: its parent goes on after it. A stop
      // ends every open folder, so the result reaches the root even from its last child.
      ScanNode* done = top.folder;
      walking_.erase(done->firstCluster);
      frames_.pop_back();
      if (frames_.empty()) return stopping ? 0 : 1;
      DropIfEmpty(frames_.back(), done);
    }
  }

 private:
  struct Frame {
    ScanNode* folder;
    ScanNode** link;      // the link that holds the next child to handle
    bool withinDeleted;   // the folder is deleted or lies below a deleted folder
  };

  // Reads folder, hands it the pending entries as its children and counts its files as found.
  void Enter(ScanNode* folder) {
    const bool withinDeleted =
        folder->status == kStatusFolder || (!frames_.empty() && frames_.back().withinDeleted);
    ++walks_[folder->firstCluster];
    state_.pendingFirst = state_.pendingLast = nullptr;
    (void)ReadFolder(state_, table_, folder, withinDeleted, walked_);
    if (state_.pendingFirst != nullptr) {
      folder->firstChild = state_.pendingFirst;
      state_.pendingFirst = state_.pendingLast = nullptr;
    }
    for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
      if (child->IsFolderStatus()) continue;
      ++state_.totalBytes;
      if (child->status == 0) child->overwritten = FatOverwrittenPercent(state_, table_, *child);
    }
    frames_.push_back(Frame{folder, &folder->firstChild, withinDeleted});
    walking_.insert(folder->firstCluster);
  }

  // A folder is not read again below itself, which would never end, nor more often than
  // kMaxWalksPerFolder in all, which clusters shared by many folder entries could otherwise
  // multiply without end. Left unread, it has no children and is removed.
  bool MayWalk(const ScanNode* folder) {
    if (walking_.contains(folder->firstCluster)) return false;
    if (walks_[folder->firstCluster] < kMaxWalksPerFolder) return true;
    if (!reportedShared_) {
      reportedShared_ = true;
      state_.ReportDiagnostic("FAT scan: folder cluster " + std::to_string(folder->firstCluster) +
                              " is shared by too many folder entries; its further copies are not read");
    }
    return false;
  }

  // Moves the frame past child, first removing child when it ended up without children.
  void DropIfEmpty(Frame& frame, ScanNode* child) {
    if (child->firstChild != nullptr) {
      frame.link = &child->next;
      return;
    }
    *frame.link = child->next;
    state_.pool.FreeNode(child);
  }

  EngineState& state_;
  FatTable table_;
  WalkedFolderClusters* walked_;
  std::vector<Frame> frames_;
  std::unordered_set<uint32_t> walking_;         // first clusters of the open folders
  std::unordered_map<uint32_t, uint32_t> walks_;  // times each first cluster was read as a folder
  bool reportedShared_ = false;
};

}  // namespace

int BuildClusterChain(EngineState& state, uint32_t firstCluster) {
  try {
    FatTable table(state);
    return BuildClusterChain(state, table, firstCluster);
  } catch (const std::bad_alloc&) {
    state.ReportDiagnostic("FAT chain walk: out of memory");
    return 0;
  }
}

int ReadFolder(EngineState& state, FatTable& table, ScanNode* folder, bool withinDeletedFolder,
               WalkedFolderClusters* walked) {
  FolderParse parse(folder, withinDeletedFolder);
  const int chainResult = BuildClusterChain(state, table, folder->firstCluster);
  if (walked != nullptr) {
    for (const ClusterLink& link : state.clusterChain) walked->try_emplace(link.cluster, folder->firstCluster);
  }
  const VolumeInfo& info = state.volumeInfo;
  if (info.fatKind == 1 && folder->firstCluster == 1) {
    // The FAT16 root is a fixed area, parsed as one buffer; its single link stays in the chain.
    uint64_t sector = 0;
    size_t bytes = 0;
    FatRootArea(info, sector, bytes);
    std::vector<uint8_t> area(bytes, 0);
    ReadOrZero(state, sector, area);
    (void)ParseFolderBuffer(state, area, parse);
    return chainResult;
  }
  ParseChain(state, parse);
  state.clusterChain.clear();
  return chainResult;
}

int WalkFolder(EngineState& state, ScanNode* folder, WalkedFolderClusters* walked) {
  if (folder == nullptr) return 1;
  try {
    FolderWalker walker(state, walked);
    return walker.Run(folder);
  } catch (const std::bad_alloc&) {
    // The tree keeps what was attached; the job ends as if stopped.
    state.pendingFirst = state.pendingLast = nullptr;
    state.ReportDiagnostic("FAT scan: out of memory");
    return 0;
  }
}

}  // namespace restora
