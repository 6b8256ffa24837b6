// SPDX-License-Identifier: GPL-3.0-or-later
// Running the scans of a job in order, and the engine's clean-up.
#include "ScanDriver.h"

#include "FatChain.h"
#include "FatOrphans.h"
#include "FatScan.h"
#include "NtfsScan.h"
#include "PartitionScan.h"
#include "ScanTree.h"
#include "SignatureFile.h"
#include "SignatureSearch.h"

namespace restora {

namespace {

// The search step shared by the lost-file and the advanced search: the selected list is released
// once the search is over.
int RunSignatureSearch(EngineState& state) {
  const int result = SearchSignatures(state);
  FreeSignatureList(state);
  return result;
}

// The FAT walk, then the signature search or (deep scan) a read of the data area, with the
// orphaned folders found on the way listed last.
int RunFatScans(EngineState& state, ScanNode* root, bool withSignatureSearch) {
  const bool orphans = withSignatureSearch || state.deepScan != 0;
  WalkedFolderClusters walked;
  int result = WalkFolder(state, root, orphans ? &walked : nullptr);
  if (result != 1 || !orphans) return result;
  FatOrphanSearch search(state, std::move(walked));
  if (withSignatureSearch) {
    state.sectorsReadObserver = [&search](uint64_t sector, std::span<const uint8_t> bytes) {
      search.Examine(sector, bytes);
    };
    result = RunSignatureSearch(state);
    state.sectorsReadObserver = nullptr;
  } else {
    result = ReadDataAreaForOrphans(state, search);
  }
  (void)search.Attach(root);
  return result;
}

}  // namespace

int ScanSource(EngineState& state, uint8_t withSignatureSearch) {
  if (!state.partitions.empty()) return ScanPartitions(state, withSignatureSearch);
  ScanNode* root = NewNode(state);
  root->name = u".";
  root->nameLength = 1;
  root->status = kStatusLiveFolder;
  state.scanRoot = root;

  int result = 1;
  switch (state.volumeInfo.kind) {
    case SourceKind::Fat16:
    case SourceKind::Fat32:
      root->firstCluster = FatRootCluster(state.volumeInfo);
      // During the walk these two count files found and files walked.
      state.totalBytes = 0;
      state.fileCount = 0;
      result = RunFatScans(state, root, withSignatureSearch == 1);
      break;
    case SourceKind::Disk:
      result = RunSignatureSearch(state);
      break;
    case SourceKind::Ntfs:
      result = ScanMft(state);
      if (result == 1 && withSignatureSearch == 1) result = RunSignatureSearch(state);
      break;
  }
  NumberTree(state, root);
  return result;
}

int CleanUp(EngineState& state) {
  state.partitions.clear();  // their windows read through deviceHandle
  state.deviceHandle.reset();
  state.signatureFileHandle.reset();
  state.mftRuns.clear();
  FreeSignatureList(state);
  if (state.scanRoot != nullptr) {
    FreeTree(state, state.scanRoot);
    state.pool.FreeNode(state.scanRoot);
    state.scanRoot = nullptr;
  }
  state.volumeInfo = VolumeInfo{};
  return 1;
}

}  // namespace restora
