// SPDX-License-Identifier: GPL-3.0-or-later
// Chunked node allocation for scan trees.
#include "NodePool.h"

namespace restora {

ScanNode* NodePool::NewNode() {
  ++live_;
  if (!freeList_.empty()) {
    ScanNode* node = freeList_.back();
    freeList_.pop_back();
    return node;
  }
  if (usedInLastChunk_ == kChunkNodes) {
    chunks_.push_back(std::make_unique<ScanNode[]>(kChunkNodes));
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
