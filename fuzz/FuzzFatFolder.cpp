// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the parse of FAT folder buffers: the input after the first byte is cut into buffers of
// one cluster each (the first byte chooses FAT16 or FAT32, the cluster size and whether the folder
// lies inside a deleted one) and parsed in order, a long name carried from one to the next, as the
// walk does along a folder's chain.
#include <algorithm>
#include <vector>

#include "FatDirEntry.h"
#include "ScanTree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  EngineState state;
  const bool fat16 = (mode & 1) != 0;
  state.volumeInfo.kind = fat16 ? SourceKind::Fat16 : SourceKind::Fat32;
  state.volumeInfo.fatKind = fat16 ? 1 : 2;
  state.volumeInfo.fatEntryCount = fat16 ? 65536 : uint64_t{0xFFFF} * 128;
  const size_t clusterBytes = size_t{512} << ((mode >> 1) & 3);
  ScanNode* folder = NewNode(state);
  folder->status = (mode & 8) != 0 ? kStatusFolder : kStatusLiveFolder;
  FolderParse parse(folder, (mode & 8) != 0);
  const Bytes input(data + 1, size - 1);
  std::vector<uint8_t> buffer(clusterBytes);
  for (size_t at = 0; at < input.size(); at += clusterBytes) {
    std::fill(buffer.begin(), buffer.end(), uint8_t{0xF6});  // the rest of a short cluster
    const size_t piece = std::min(clusterBytes, input.size() - at);
    std::copy(input.begin() + static_cast<std::ptrdiff_t>(at), input.begin() + static_cast<std::ptrdiff_t>(at + piece),
              buffer.begin());
    if (ParseFolderBuffer(state, buffer, parse) == 1) break;
  }
  if (parse.longName.size() > kLongNameCapacity) __builtin_trap();
  // Hang what is pending under the folder and free it all, as the walk would.
  folder->firstChild = state.pendingFirst;
  state.pendingFirst = state.pendingLast = nullptr;
  for (const ScanNode* node = folder->firstChild; node != nullptr; node = node->next) {
    if (node->firstCluster <= state.volumeInfo.fatKind || node->firstCluster > state.volumeInfo.fatEntryCount) {
      __builtin_trap();  // only entries with a usable first cluster may become nodes
    }
  }
  FreeTree(state, folder);
  state.pool.FreeNode(folder);
  return 0;
}
