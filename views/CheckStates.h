// SPDX-License-Identifier: GPL-3.0-or-later
// The check marks of a scan tree as both views show them. The nodes' checked fields are what a
// save reads; this unit keeps them consistent and derives each folder's three-state mark from
// its subtree, so the marks on screen, the selection totals and the saved entries never differ.
//
// Rules kept after every change:
//   - a folder is marked checked when its whole subtree is, unchecked when nothing in it is
//     checked, and partly checked otherwise;
//   - every checked node's ancestors below the root are checked (a save reaches a node only
//     through checked folders);
//   - the root counts as checked exactly when everything below it is checked.
#pragma once

#include <cstdint>
#include <vector>

#include "FolderIndex.h"
#include "ScanModel.h"

namespace restora {

enum class CheckMark : uint8_t { Unchecked = 1, Checked = 2, Partly = 3 };

// What a save of the checked entries writes: files with their bytes, and folders (the root
// counts as one when it is checked).
struct Selection {
  uint64_t selectedBytes = 0;
  uint32_t selectedFiles = 0;
  uint32_t selectedFolders = 0;
  bool operator==(const Selection&) const = default;
};

class CheckStates {
 public:
  explicit CheckStates(const FolderIndex& index) : index_(index) {}

  // Takes the nodes' checked fields as they are after the index was built (a reopened scan
  // holds checks): checks that a save could not reach, below an unchecked folder, are cleared,
  // and every folder's mark is derived.
  void Rebuild();
  void Clear() { marks_.clear(); }

  // The mark of node: derived for a folder-like node, checked or unchecked for a file.
  CheckMark MarkOf(const ScanNode* node) const;
  // A click on node's check box: an unchecked node becomes checked with its whole subtree,
  // a checked or partly checked one unchecked.
  void Toggle(ScanNode* node);
  // Checks or unchecks node and its whole subtree and brings its ancestors in line.
  void Set(ScanNode* node, bool on);

  // Every checked node below and including root, counted as a save counts it.
  static Selection ComputeSelection(const ScanNode* root);

  size_t MemoryBytes() const { return marks_.capacity(); }

 private:
  void SetSubtreeMarks(uint32_t entry, CheckMark mark);
  void Derive(uint32_t entry);

  const FolderIndex& index_;
  std::vector<CheckMark> marks_;  // one per folder entry of the index
};

}  // namespace restora
