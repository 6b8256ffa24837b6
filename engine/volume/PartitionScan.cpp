// SPDX-License-Identifier: GPL-3.0-or-later
// Scanning the partitions of a whole disk into one tree.
#include "PartitionScan.h"

#include <utility>

#include "ScanDriver.h"
#include "ScanTree.h"
#include "SignatureFile.h"
#include "VolumeAccess.h"

namespace restora {

int OpenPartition(EngineState& state, PartitionVolume& partition, std::unique_ptr<SourceReader> window) {
  partition.volumeInfo = VolumeInfo{};
  partition.mftRuns.clear();
  PartitionScope scope(state, partition);
  const int opened = OpenSource(state, OpenMode::Image, std::move(window));
  state.volumeInfo.startSector = partition.startSector;
  return opened;
}

int ScanPartitions(EngineState& state, uint8_t withSignatureSearch) {
  ScanNode* root = NewNode(state);
  root->name = u".";
  root->nameLength = 1;
  root->status = kStatusLiveFolder;

  // Out of the state while each partition is scanned, so ScanSource sees a plain volume.
  std::vector<PartitionVolume> partitions = std::move(state.partitions);
  state.partitions.clear();
  const std::vector<SignatureRecord> selected = state.signatureList;
  ScanNode** tail = &root->firstChild;
  int result = 1;
  for (PartitionVolume& partition : partitions) {
    ScanNode* folder = NewNode(state);
    folder->name = PartitionFolderName(partition.number, partition.volumeInfo.kind);
    folder->nameLength = static_cast<uint16_t>(folder->name.size());
    folder->status = kStatusLiveFolder;
    *tail = folder;
    tail = &folder->next;
    partition.folder = folder;
    if (result == 0) continue;
    PartitionScope scope(state, partition);
    state.signatureList = selected;
    result = ScanSource(state, withSignatureSearch);
    ScanNode* found = state.scanRoot;
    folder->firstCluster = found->firstCluster;  // the folder stands for the partition's root
    folder->firstChild = found->firstChild;
    found->firstChild = nullptr;
    state.pool.FreeNode(found);
  }
  state.scanRoot = root;
  state.partitions = std::move(partitions);
  FreeSignatureList(state);
  NumberTree(state, root);
  return result;
}

}  // namespace restora
