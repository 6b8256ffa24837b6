// SPDX-License-Identifier: GPL-3.0-or-later
// The record-number index of the table scan answers exactly what the search by identifier over
// the whole tree answers, for trees built the way the scan builds them, duplicates included.
#include <gtest/gtest.h>

#include <random>

#include "NtfsFolderIndex.h"
#include "ScanTree.h"

namespace restora {
namespace {

constexpr uint32_t kIds = 24;  // few identifiers, so that many nodes share one

ScanNode* Make(EngineState& state, uint32_t id, bool folder) {
  ScanNode* node = NewNode(state);
  node->id = id;
  node->status = folder ? kStatusFolder : 0;
  return node;
}

// Every identifier gives the same node through the index as through FindNodeById.
void ExpectSameAnswers(const NtfsFolderIndex& index, ScanNode* root) {
  for (uint32_t id = 0; id < kIds; ++id) {
    ScanNode probe;
    probe.parentId = id;
    const auto hit = index.Find(id);
    ASSERT_EQ(hit ? hit->node : nullptr, FindNodeById(root, &probe)) << "id " << id;
  }
}

TEST(NtfsFolderIndex, AgreesWithTheTreeSearchWhileTheTreeGrowsAtListHeads) {
  std::mt19937 random(7);
  for (int tree = 0; tree < 40; ++tree) {
    EngineState state;
    ScanNode* root = NewNode(state);
    // A tree that exists before the index: random folders and files, ids repeated.
    std::vector<ScanNode*> folders{root};
    for (int i = 0; i < 30; ++i) {
      ScanNode* parent = folders[random() % folders.size()];
      ScanNode* node = Make(state, random() % kIds, random() % 2 == 0);
      PushChildFront(parent, node);
      if (node->IsFolderStatus()) folders.push_back(node);
    }
    NtfsFolderIndex index(root);
    ExpectSameAnswers(index, root);

    // Then the scan's own moves: a chain (a file under up to three new folders) hung under the
    // folder the index finds for a random identifier, or under the root.
    for (int step = 0; step < 60; ++step) {
      ScanNode* top = Make(state, random() % kIds, false);
      for (int up = static_cast<int>(random() % 4); up > 0; --up) {
        ScanNode* folder = Make(state, random() % kIds, true);
        PushChildFront(folder, top);
        top = folder;
      }
      const auto hit = index.Find(random() % kIds);
      if (hit && hit->node->IsFolderStatus() && random() % 3 != 0) {
        PushChildFront(hit->node, top);
        index.Attach(hit->slot, top);
      } else {
        PushChildFront(root, top);
        index.Attach(NtfsFolderIndex::kRootSlot, top);
      }
      ExpectSameAnswers(index, root);
    }
    EXPECT_EQ(index.Size(), CountNodes(root));
  }
}

TEST(NtfsFolderIndex, ADirectChildComesBeforeDeeperNodesOfTheSameFolder) {
  EngineState state;
  ScanNode* root = NewNode(state);
  NtfsFolderIndex index(root);
  // root: [a(1) folder: [deep(9)]]; then b(9) at the root's head after a.
  ScanNode* a = Make(state, 1, true);
  ScanNode* deep = Make(state, 9, false);
  PushChildFront(a, deep);
  PushChildFront(root, a);
  index.Attach(NtfsFolderIndex::kRootSlot, a);
  EXPECT_EQ(index.Find(9)->node, deep);
  ScanNode* later = Make(state, 9, true);
  PushChildFront(root, later);
  index.Attach(NtfsFolderIndex::kRootSlot, later);
  EXPECT_EQ(index.Find(9)->node, later);
  // Under a: a new direct child with id 9 precedes nothing at the root's level.
  ScanNode* sibling = Make(state, 9, false);
  PushChildFront(a, sibling);
  index.Attach(index.Find(1)->slot, sibling);
  EXPECT_EQ(index.Find(9)->node, later);
  ExpectSameAnswers(index, root);
}

}  // namespace
}  // namespace restora
