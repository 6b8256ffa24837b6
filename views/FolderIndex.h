// SPDX-License-Identifier: GPL-3.0-or-later
// The folders of a scan tree as the folder tree shows them: every folder's subfolders in list
// order, its parent and its row, found by node in logarithmic time. Built in one walk, which
// also yields the totals of the whole tree. Holds pointers into the tree, never copies of nodes.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ScanModel.h"

namespace restora {

// A node the tree shows as a folder: one marked as a folder, or one with entries below it (the
// save writes such a node as a folder too, so its entries must stay reachable).
inline bool IsFolderLike(const ScanNode& node) { return node.IsFolderStatus() || node.firstChild != nullptr; }

// Totals of the whole tree for the status bar.
struct TreeTotals {
  uint64_t totalBytes = 0;
  uint32_t fileCount = 0;
  uint32_t folderCount = 0;
};

class FolderIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kRoot = 0;  // the entry of the root node

  // Indexes every folder below root (root itself is entry kRoot). A null root gives an empty index.
  void Build(ScanNode* root);
  void Clear();

  bool Empty() const { return nodes_.empty(); }
  uint32_t Count() const { return static_cast<uint32_t>(nodes_.size()); }
  ScanNode* Node(uint32_t entry) const { return nodes_[entry]; }
  // The entry of a folder-like node, kNone for a file or a node of another tree.
  uint32_t Find(const ScanNode* node) const;
  uint32_t Parent(uint32_t entry) const { return parent_[entry]; }
  uint32_t SubfolderCount(uint32_t entry) const { return count_[entry]; }
  uint32_t Subfolder(uint32_t entry, uint32_t row) const { return first_[entry] + row; }
  // Row of entry among its parent's subfolders (0 for the root).
  uint32_t Row(uint32_t entry) const { return entry == kRoot ? 0 : entry - first_[parent_[entry]]; }
  const TreeTotals& Totals() const { return totals_; }
  // Bytes held beyond the tree itself.
  size_t MemoryBytes() const;

 private:
  // Entries in breadth-first order, so each folder's subfolders are consecutive.
  std::vector<ScanNode*> nodes_;
  std::vector<uint32_t> parent_;
  std::vector<uint32_t> first_;
  std::vector<uint32_t> count_;
  std::vector<std::pair<const ScanNode*, uint32_t>> byNode_;  // sorted by node address
  TreeTotals totals_;
};

}  // namespace restora
