// SPDX-License-Identifier: GPL-3.0-or-later
// Numbering, freeing, checking and finding nodes of a scan tree.
#include <gtest/gtest.h>

#include "ScanTree.h"

namespace restora {
namespace {

ScanNode* Add(EngineState& state, ScanNode* folder, const char16_t* name) {
  ScanNode* node = NewNode(state);
  node->name = name;
  // append, so list order equals creation order
  ScanNode** slot = &folder->firstChild;
  while (*slot != nullptr) slot = &(*slot)->next;
  *slot = node;
  return node;
}

TEST(ScanTree, NumbersSiblingsConsecutivelyFolderByFolder) {
  EngineState state;
  state.volumeInfo.kind = SourceKind::Fat32;
  ScanNode* root = NewNode(state);
  ScanNode* a = Add(state, root, u"A");
  ScanNode* b = Add(state, root, u"B");
  ScanNode* c = Add(state, root, u"c");
  ScanNode* a1 = Add(state, a, u"a1");
  ScanNode* a2 = Add(state, a, u"a2");
  ScanNode* a11 = Add(state, a1, u"a11");
  ScanNode* b1 = Add(state, b, u"b1");
  ASSERT_EQ(NumberTree(state, root), 1);
  EXPECT_EQ(root->id, 0u);
  EXPECT_EQ(a->id, 1u);
  EXPECT_EQ(b->id, 2u);
  EXPECT_EQ(c->id, 3u);
  // A's children come next, then A's subfolder a1, and only then B's children.
  EXPECT_EQ(a1->id, 4u);
  EXPECT_EQ(a2->id, 5u);
  EXPECT_EQ(a11->id, 6u);
  EXPECT_EQ(b1->id, 7u);
  EXPECT_EQ(a11->parentId, a1->id);
  EXPECT_EQ(b1->parent, b);
  EXPECT_EQ(a->parentId, 0u);
  EXPECT_EQ(state.volumeInfo.fatNodeCounter, 7u);
  EXPECT_EQ(state.volumeInfo.nodeCounter, 0u);
}

TEST(ScanTree, EmptyTreeLeavesCounterAndNtfsKindsUseTheirCounter) {
  EngineState state;
  state.volumeInfo.kind = SourceKind::Ntfs;
  state.volumeInfo.nodeCounter = 41;
  ScanNode* root = NewNode(state);
  NumberTree(state, root);
  EXPECT_EQ(state.volumeInfo.nodeCounter, 41u);
  Add(state, root, u"x");
  NumberTree(state, root);
  EXPECT_EQ(root->firstChild->id, 42u);
  state.volumeInfo = VolumeInfo{};  // kind Disk numbers with the NTFS counter too
  Add(state, root, u"y");
  NumberTree(state, root);
  EXPECT_EQ(state.volumeInfo.nodeCounter, 2u);
  EXPECT_EQ(state.volumeInfo.fatNodeCounter, 0u);
}

TEST(ScanTree, SetCheckedCoversTheWholeSiblingListAndDescendants) {
  EngineState state;
  ScanNode* root = NewNode(state);
  ScanNode* a = Add(state, root, u"A");
  ScanNode* b = Add(state, root, u"B");
  ScanNode* b1 = Add(state, b, u"b1");
  ScanNode* other = Add(state, a, u"a1");
  SetChecked(b, 1);  // from the second sibling on: A stays unchecked
  EXPECT_EQ(a->checked, 0);
  EXPECT_EQ(other->checked, 0);
  EXPECT_EQ(b->checked, 1);
  EXPECT_EQ(b1->checked, 1);
  SetChecked(root->firstChild, 1);
  EXPECT_EQ(a->checked, 1);
  EXPECT_EQ(other->checked, 1);
  EXPECT_EQ(root->checked, 0);
}

TEST(ScanTree, FindNodeByIdComparesDirectChildrenBeforeDescending) {
  EngineState state;
  ScanNode* root = NewNode(state);
  ScanNode* a = Add(state, root, u"A");
  ScanNode* deep = Add(state, a, u"deep");
  ScanNode* b = Add(state, root, u"B");
  ScanNode* deeper = Add(state, deep, u"deeper");
  ScanNode* b1 = Add(state, b, u"b1");
  a->id = 10;
  deep->id = 7;
  b->id = 7;
  deeper->id = 9;
  b1->id = 9;
  ScanNode probe;
  probe.parentId = 7;
  EXPECT_EQ(FindNodeById(root, &probe), b);  // a direct child wins over a deeper node met earlier
  probe.parentId = 9;
  EXPECT_EQ(FindNodeById(root, &probe), deeper);  // A's whole subtree is searched before B's
  probe.parentId = 99;
  EXPECT_EQ(FindNodeById(root, &probe), nullptr);
}

TEST(ScanTree, DeepTreesNumberCountAndFreeWithoutRecursion) {
  EngineState state;
  ScanNode* root = NewNode(state);
  ScanNode* folder = root;
  for (int depth = 0; depth < 200000; ++depth) folder = Add(state, folder, u"d");
  NumberTree(state, root);
  EXPECT_EQ(folder->id, 200000u);
  EXPECT_EQ(CountNodes(root), 200000u);
  SetChecked(root->firstChild, 1);
  EXPECT_EQ(folder->checked, 1);
  ScanNode probe;
  probe.parentId = 200000;
  EXPECT_EQ(FindNodeById(root, &probe), folder);
  FreeTree(state, root);
  EXPECT_EQ(root->firstChild, nullptr);
  EXPECT_EQ(state.pool.LiveCount(), 1u);  // only the root is left
}

}  // namespace
}  // namespace restora
