// SPDX-License-Identifier: GPL-3.0-or-later
// Partitions of a whole-disk scan.
#include "PartitionVolume.h"

#include <utility>

#include "EngineState.h"

namespace restora {

std::u16string PartitionFolderName(uint32_t number, SourceKind kind) {
  const char* kindText = kind == SourceKind::Fat16 ? "FAT16" : kind == SourceKind::Fat32 ? "FAT32" : "NTFS";
  const std::string text = "Partition " + std::to_string(number) + " (" + kindText + ")";
  return std::u16string(text.begin(), text.end());
}

PartitionScope::PartitionScope(EngineState& state, PartitionVolume& partition) : state_(state), partition_(partition) {
  Swap();
}

PartitionScope::~PartitionScope() { Swap(); }

void PartitionScope::Swap() {
  std::swap(state_.deviceHandle, partition_.reader);
  std::swap(state_.volumeInfo, partition_.volumeInfo);
  std::swap(state_.mftRuns, partition_.mftRuns);
}

PartitionVolume* FindPartitionOfFolder(std::vector<PartitionVolume>& partitions, const ScanNode* node) {
  for (PartitionVolume& partition : partitions) {
    if (partition.folder == node && node != nullptr) return &partition;
  }
  return nullptr;
}

}  // namespace restora
