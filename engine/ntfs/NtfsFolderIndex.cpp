// SPDX-License-Identifier: GPL-3.0-or-later
// The record-number index of the table scan.
#include "NtfsFolderIndex.h"

#include <algorithm>
#include <utility>

namespace restora {

NtfsFolderIndex::NtfsFolderIndex(ScanNode* root) {
  if (root == nullptr) return;
  // Indexes each list from its tail, so that the head ends with the highest slot, as if the
  // list had been built by head insertion.
  std::vector<std::pair<ScanNode*, uint32_t>> folders{{root, kRootSlot}};
  std::vector<ScanNode*> children;
  while (!folders.empty()) {
    const auto [folder, slot] = folders.back();
    folders.pop_back();
    children.clear();
    for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) children.push_back(child);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      const uint32_t childSlot = Place(*it, slot);
      if ((*it)->firstChild != nullptr) folders.emplace_back(*it, childSlot);
    }
  }
}

uint32_t NtfsFolderIndex::FirstSlot(uint32_t id) const {
  if (id < kDenseIds) return id < denseFirst_.size() ? denseFirst_[id] : kRootSlot;
  const auto found = sparseFirst_.find(id);
  return found == sparseFirst_.end() ? kRootSlot : found->second;
}

void NtfsFolderIndex::SetFirstSlot(uint32_t id, uint32_t slot) {
  if (id >= kDenseIds) {
    sparseFirst_[id] = slot;
    return;
  }
  if (id >= denseFirst_.size()) denseFirst_.resize(std::max<size_t>(id + 1, denseFirst_.size() * 3 / 2), kRootSlot);
  denseFirst_[id] = slot;
}

std::optional<NtfsFolderIndex::Hit> NtfsFolderIndex::Find(uint32_t id) const {
  const uint32_t slot = FirstSlot(id);
  if (slot == kRootSlot) return std::nullopt;
  return Hit{placements_[slot].node, slot};
}

void NtfsFolderIndex::Attach(uint32_t folderSlot, ScanNode* top) {
  uint32_t parent = folderSlot;
  for (ScanNode* node = top; node != nullptr; node = node->firstChild) parent = Place(node, parent);
}

uint32_t NtfsFolderIndex::Place(ScanNode* node, uint32_t parentSlot) {
  Placement placement;
  placement.node = node;
  placement.parent = parentSlot;
  placement.depth = parentSlot == kRootSlot ? 1 : placements_[parentSlot].depth + 1;
  const auto slot = static_cast<uint32_t>(placements_.size());
  placements_.push_back(placement);
  const uint32_t first = FirstSlot(node->id);
  if (first == kRootSlot || Precedes(slot, first)) SetFirstSlot(node->id, slot);
  return slot;
}

bool NtfsFolderIndex::Precedes(uint32_t a, uint32_t b) const {
  if (a == b) return false;
  const Placement& pa = placements_[a];
  const Placement& pb = placements_[b];
  // The root's direct children are all compared before anything deeper is.
  if (pa.depth == 1 && pb.depth == 1) return a > b;
  if (pa.depth == 1 || pb.depth == 1) return pa.depth == 1;

  // Climb to the children of the lowest common ancestor.
  uint32_t x = a;
  uint32_t y = b;
  uint32_t dx = pa.depth;
  uint32_t dy = pb.depth;
  while (dx > dy) x = placements_[x].parent, --dx;
  while (dy > dx) y = placements_[y].parent, --dy;
  if (x == y) return x == a;  // one is an ancestor of the other, and comes first
  while (placements_[x].parent != placements_[y].parent) {
    x = placements_[x].parent;
    y = placements_[y].parent;
  }
  // A direct child of the common ancestor is compared when that folder is visited, before the
  // search descends into any of its subfolders; otherwise the subfolder earlier in the list wins.
  const bool aDirect = x == a;
  const bool bDirect = y == b;
  if (aDirect != bDirect) return aDirect;
  return x > y;
}

}  // namespace restora
