// SPDX-License-Identifier: GPL-3.0-or-later
// Running the scans of a job in order, and the engine's clean-up.
#include "ScanDriver.h"

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
      root->firstCluster = state.volumeInfo.kind == SourceKind::Fat16 ? 1 : 2;
      // During the walk these two count files found and files walked.
      state.totalBytes = 0;
      state.fileCount = 0;
      result = WalkFolder(state, root);
      if (result == 1 && withSignatureSearch == 1) result = RunSignatureSearch(state);
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
