// SPDX-License-Identifier: GPL-3.0-or-later
// The check every scan's tree must pass, shared by the tests and the fuzz harnesses.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "EngineState.h"
#include "TextCodec.h"

namespace restora::test {

// Empty when the tree is numbered and consistent: every child points at its folder and carries
// its id, siblings have consecutive ids, the ids are exactly 1..N, no node is reached twice, names
// are not empty, and the pool holds no node besides the tree's. Otherwise what is wrong.
inline std::string TreeFault(const EngineState& state) {
  const ScanNode* root = state.scanRoot;
  if (root == nullptr) return "no root";
  std::set<const ScanNode*> seen{root};
  std::set<uint32_t> ids;
  std::vector<const ScanNode*> folders{root};
  while (!folders.empty()) {
    const ScanNode* folder = folders.back();
    folders.pop_back();
    uint32_t previous = 0;
    for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
      const std::string name = Utf16ToUtf8(child->name);
      if (!seen.insert(child).second) return "a node is reached twice";
      if (name.empty()) return "a node without a name";
      if (child->parent != folder || child->parentId != folder->id) return "parent link of " + name;
      if (child != folder->firstChild && child->id != previous + 1) return "siblings numbered apart at " + name;
      previous = child->id;
      if (!ids.insert(child->id).second) return "ids are not unique";
      if (child->firstChild != nullptr) folders.push_back(child);
    }
  }
  const size_t nodes = seen.size() - 1;
  if (nodes > 0 && (*ids.begin() != 1 || *ids.rbegin() != nodes)) return "ids are not 1..N";
  if (state.pool.LiveCount() != nodes + 1) return "the pool holds nodes outside the tree";
  return {};
}

}  // namespace restora::test
