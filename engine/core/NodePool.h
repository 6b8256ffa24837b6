// SPDX-License-Identifier: GPL-3.0-or-later
// Allocation of scan nodes in large chunks, so a tree of millions of nodes costs no heap block
// per node. Freed nodes are reset and reused.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "ScanModel.h"

namespace restora {

class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;

  // A zero-filled node, owned by the pool until FreeNode or the pool's end.
  ScanNode* NewNode();
  // Resets the node (releasing its name) and keeps it for reuse. A null node is allowed.
  void FreeNode(ScanNode* node);
  // Nodes handed out and not freed.
  size_t LiveCount() const { return live_; }

 private:
  static constexpr size_t kFirstChunkNodes = 32;
  static constexpr size_t kChunkNodes = 4096;
  std::vector<std::unique_ptr<ScanNode[]>> chunks_;
  size_t lastChunkNodes_ = 0;
  size_t usedInLastChunk_ = 0;
  std::vector<ScanNode*> freeList_;
  size_t live_ = 0;
};

}  // namespace restora
