// SPDX-License-Identifier: GPL-3.0-or-later
// Check marks derived from subtrees.
#include "CheckStates.h"

#include "ScanTree.h"

namespace restora {

void CheckStates::Rebuild() {
  const uint32_t count = index_.Count();
  marks_.assign(count, CheckMark::Unchecked);
  // Parents come before their subfolders in the index, so one pass top-down clears what lies
  // below an unchecked folder.
  for (uint32_t entry = 1; entry < count; ++entry) {
    ScanNode* folder = index_.Node(entry);
    if (folder->checked == 0) SetChecked(folder->firstChild, 0);
  }
  for (uint32_t entry = count; entry-- > 0;) Derive(entry);
}

CheckMark CheckStates::MarkOf(const ScanNode* node) const {
  if (node == nullptr) return CheckMark::Unchecked;
  const uint32_t entry = IsFolderLike(*node) ? index_.Find(node) : FolderIndex::kNone;
  if (entry != FolderIndex::kNone && entry < marks_.size()) return marks_[entry];
  return node->checked != 0 ? CheckMark::Checked : CheckMark::Unchecked;
}

void CheckStates::Toggle(ScanNode* node) { Set(node, MarkOf(node) == CheckMark::Unchecked); }

void CheckStates::Set(ScanNode* node, bool on) {
  if (node == nullptr) return;
  node->checked = on ? 1 : 0;
  SetChecked(node->firstChild, node->checked);
  const CheckMark mark = on ? CheckMark::Checked : CheckMark::Unchecked;
  uint32_t entry = IsFolderLike(*node) ? index_.Find(node) : FolderIndex::kNone;
  if (entry != FolderIndex::kNone) {
    SetSubtreeMarks(entry, mark);
    if (entry == FolderIndex::kRoot) return;
    entry = index_.Parent(entry);
  } else {
    entry = index_.Find(node->parent);
  }
  for (; entry != FolderIndex::kNone; entry = index_.Parent(entry)) {
    ScanNode* folder = index_.Node(entry);
    if (entry != FolderIndex::kRoot) {
      uint8_t any = 0;
      for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) any |= child->checked;
      folder->checked = any;
    }
    Derive(entry);
  }
}

void CheckStates::SetSubtreeMarks(uint32_t entry, CheckMark mark) {
  std::vector<uint32_t> pending{entry};
  while (!pending.empty()) {
    const uint32_t current = pending.back();
    pending.pop_back();
    marks_[current] = mark;
    for (uint32_t row = 0; row < index_.SubfolderCount(current); ++row) pending.push_back(index_.Subfolder(current, row));
  }
}

// The mark of one folder from its own check and its children's marks (subfolders already derived).
void CheckStates::Derive(uint32_t entry) {
  ScanNode* folder = index_.Node(entry);
  bool full = true;
  bool any = false;
  uint32_t subfolder = index_.Subfolder(entry, 0);
  for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
    const CheckMark mark = IsFolderLike(*child) ? marks_[subfolder++]
                                                : (child->checked ? CheckMark::Checked : CheckMark::Unchecked);
    full = full && mark == CheckMark::Checked;
    any = any || mark != CheckMark::Unchecked;
  }
  if (entry == FolderIndex::kRoot) {
    if (folder->firstChild != nullptr) folder->checked = full ? 1 : 0;
    marks_[entry] = folder->checked ? CheckMark::Checked : (any ? CheckMark::Partly : CheckMark::Unchecked);
    return;
  }
  marks_[entry] = folder->checked == 0 ? CheckMark::Unchecked : (full ? CheckMark::Checked : CheckMark::Partly);
}

Selection CheckStates::ComputeSelection(const ScanNode* root) {
  Selection selection;
  if (root == nullptr) return selection;
  if (root->checked != 0) ++selection.selectedFolders;
  std::vector<const ScanNode*> lists{root->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      if (node->firstChild != nullptr) lists.push_back(node->firstChild);
      if (node->checked == 0) continue;
      if (IsFolderLike(*node)) {
        ++selection.selectedFolders;
      } else {
        ++selection.selectedFiles;
        selection.selectedBytes += node->size;
      }
    }
  }
  return selection;
}

}  // namespace restora
