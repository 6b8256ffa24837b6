// SPDX-License-Identifier: GPL-3.0-or-later
// The node pool across its growing chunks: every node handed out is distinct, zero-filled and
// stays where it is; freed nodes come back reset.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "NodePool.h"

namespace restora {
namespace {

TEST(NodePool, NodesAcrossManyChunksAreDistinctStableAndReused) {
  NodePool pool;
  std::vector<ScanNode*> nodes;
  for (uint32_t i = 0; i < 20000; ++i) {
    ScanNode* node = pool.NewNode();
    ASSERT_EQ(node->id, 0u);
    ASSERT_TRUE(node->name.empty());
    node->id = i + 1;
    node->name = u"n";
    nodes.push_back(node);
  }
  EXPECT_EQ(std::set<ScanNode*>(nodes.begin(), nodes.end()).size(), nodes.size());
  for (uint32_t i = 0; i < nodes.size(); ++i) ASSERT_EQ(nodes[i]->id, i + 1) << "a later node overlapped node " << i;
  EXPECT_EQ(pool.LiveCount(), 20000u);

  for (size_t i = 0; i < nodes.size(); i += 2) pool.FreeNode(nodes[i]);
  EXPECT_EQ(pool.LiveCount(), 10000u);
  std::set<ScanNode*> freed;
  for (size_t i = 0; i < nodes.size(); i += 2) freed.insert(nodes[i]);
  for (int i = 0; i < 10000; ++i) {
    ScanNode* node = pool.NewNode();
    ASSERT_TRUE(freed.count(node) == 1) << "a freed node is handed out before new ones";
    ASSERT_EQ(node->id, 0u);
    ASSERT_TRUE(node->name.empty());
  }
  EXPECT_EQ(pool.LiveCount(), 20000u);
}

}  // namespace
}  // namespace restora
