// SPDX-License-Identifier: GPL-3.0-or-later
// An index by record number over the tree the table scan builds, answering what the search by
// identifier (FindNodeById from the root) would answer, without walking the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ScanModel.h"

namespace restora {

// Identifiers need not be unique (a placeholder folder and a deleted file can carry the same
// record number), so for every identifier the index keeps the node that comes first in the
// search's order: a folder's direct children in list order, then each child's subtree in list
// order. Nodes are only ever added at the head of a list and never move, so that order between
// two nodes follows from their positions alone (depth, parent, and insertion time among
// siblings), and the first node of an identifier changes only when a new one comes before it.
class NtfsFolderIndex {
 public:
  static constexpr uint32_t kRootSlot = 0xFFFFFFFF;

  struct Hit {
    ScanNode* node = nullptr;
    uint32_t slot = kRootSlot;  // where the node sits, for Attach
  };

  // Indexes what root holds already.
  explicit NtfsFolderIndex(ScanNode* root);

  // The node FindNodeById would return for a node whose parentId is id, if any.
  std::optional<Hit> Find(uint32_t id) const;

  // Records that top was just put at the head of the children of the folder at folderSlot
  // (kRootSlot for the root). Below top may hang a chain built before it was attached, in which
  // every node has at most one child; the chain is indexed too.
  void Attach(uint32_t folderSlot, ScanNode* top);

  size_t Size() const { return placements_.size(); }

 private:
  // Slots are handed out in insertion order, so a slot also tells when its node was added: a
  // later sibling (a higher slot) stands before an earlier one.
  struct Placement {
    ScanNode* node = nullptr;
    uint32_t parent = kRootSlot;
    uint32_t depth = 1;  // the root's children have depth 1
  };

  uint32_t Place(ScanNode* node, uint32_t parentSlot);
  // True when the node at slot a comes before the node at slot b in the search's order.
  bool Precedes(uint32_t a, uint32_t b) const;

  uint32_t FirstSlot(uint32_t id) const;
  void SetFirstSlot(uint32_t id, uint32_t slot);

  std::vector<Placement> placements_;
  // id → slot of its first node (kRootSlot: none). Record numbers are dense and small, so most
  // ids live in a plain array; identifiers beyond it (from damaged parent references) in a map.
  static constexpr uint32_t kDenseIds = 1u << 24;
  std::vector<uint32_t> denseFirst_;
  std::unordered_map<uint32_t, uint32_t> sparseFirst_;
};

}  // namespace restora
