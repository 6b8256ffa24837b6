// SPDX-License-Identifier: GPL-3.0-or-later
// One breadth-first walk over the tree's folders.
#include "FolderIndex.h"

#include <algorithm>

namespace restora {

void FolderIndex::Build(ScanNode* root) {
  Clear();
  if (root == nullptr) return;
  nodes_.push_back(root);
  parent_.push_back(kNone);
  for (uint32_t entry = 0; entry < nodes_.size(); ++entry) {
    first_.push_back(static_cast<uint32_t>(nodes_.size()));
    for (ScanNode* child = nodes_[entry]->firstChild; child != nullptr; child = child->next) {
      if (IsFolderLike(*child)) {
        ++totals_.folderCount;
        nodes_.push_back(child);
        parent_.push_back(entry);
      } else {
        ++totals_.fileCount;
        totals_.totalBytes += child->size;
      }
    }
    count_.push_back(static_cast<uint32_t>(nodes_.size()) - first_.back());
  }
  byNode_.reserve(nodes_.size());
  for (uint32_t entry = 0; entry < nodes_.size(); ++entry) byNode_.emplace_back(nodes_[entry], entry);
  std::sort(byNode_.begin(), byNode_.end());
}

void FolderIndex::Clear() {
  nodes_ = {};
  parent_ = {};
  first_ = {};
  count_ = {};
  byNode_ = {};
  totals_ = {};
}

uint32_t FolderIndex::Find(const ScanNode* node) const {
  auto it = std::lower_bound(byNode_.begin(), byNode_.end(), node,
                             [](const auto& item, const ScanNode* key) { return item.first < key; });
  return it != byNode_.end() && it->first == node ? it->second : kNone;
}

size_t FolderIndex::MemoryBytes() const {
  return nodes_.capacity() * sizeof(ScanNode*) +
         (parent_.capacity() + first_.capacity() + count_.capacity()) * sizeof(uint32_t) +
         byNode_.capacity() * sizeof(byNode_[0]);
}

}  // namespace restora
