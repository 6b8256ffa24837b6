// SPDX-License-Identifier: GPL-3.0-or-later
// Chunked node allocation for scan trees.
#include "NodePool.h"

#include <algorithm>

namespace restora {

ScanNode* NodePool::NewNode() {
  ++live_;
  if (!freeList_.empty()) {
    ScanNode* node = freeList_.back();
    freeList_.pop_back();
    return node;
  }
  if (chunks_.empty() || usedInLastChunk_ == lastChunkNodes_) {
    // Chunks grow from small to full size, so the many small trees (tiny volumes, tests) do not
    // each pay for a full chunk.
    lastChunkNodes_ = chunks_.empty() ? kFirstChunkNodes : std::min(lastChunkNodes_ * 2, kChunkNodes);
    chunks_.push_back(std::make_unique<ScanNode[]>(lastChunkNodes_));
    usedInLastChunk_ = 0;
  }
  return &chunks_.back()[usedInLastChunk_++];
}

void NodePool::FreeNode(ScanNode* node) {
  if (node == nullptr) return;
  *node = ScanNode{};  // also releases the name's heap block
  freeList_.push_back(node);
  --live_;
}

}  // namespace restora
