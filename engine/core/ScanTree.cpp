// SPDX-License-Identifier: GPL-3.0-or-later
// Iterative tree walks over scan nodes.
#include "ScanTree.h"

#include <vector>

namespace restora {

ScanNode* NewNode(EngineState& state) { return state.pool.NewNode(); }

void PushChildFront(ScanNode* folder, ScanNode* child) {
  child->next = folder->firstChild;
  folder->firstChild = child;
}

namespace {

// Visits node and then every folder below it in the order of the recursive walk that both the
// numbering pass and the search by identifier use: a folder is visited (all its direct children
// at once), then each child that has children is walked in list order, one whole subtree before
// the next sibling. visit returns true to end the walk. Iterative, so any depth is safe.
template <typename Visit>
void WalkFolders(ScanNode* node, Visit visit) {
  std::vector<ScanNode*> resume;  // the next sibling to descend into, per open level
  ScanNode* folder = node;
  while (folder != nullptr) {
    if (visit(folder)) return;
    resume.push_back(folder->firstChild);
    folder = nullptr;
    while (!resume.empty() && folder == nullptr) {
      ScanNode*& cursor = resume.back();
      while (cursor != nullptr && cursor->firstChild == nullptr) cursor = cursor->next;
      if (cursor == nullptr) {
        resume.pop_back();
      } else {
        folder = cursor;
        cursor = cursor->next;
      }
    }
  }
}

}  // namespace

int NumberTree(EngineState& state, ScanNode* node) {
  if (node == nullptr) return 1;
  uint32_t& counter = state.volumeInfo.NodeCounter();
  WalkFolders(node, [&counter](ScanNode* folder) {
    for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
      child->parentId = folder->id;
      child->id = ++counter;
      child->parent = folder;
    }
    return false;
  });
  return 1;
}

int FreeTree(EngineState& state, ScanNode* node) {
  if (node == nullptr) return 1;
  // Detach each child list and free it node by node; a node's own children are queued first.
  std::vector<ScanNode*> lists{node->firstChild};
  node->firstChild = nullptr;
  while (!lists.empty()) {
    ScanNode* current = lists.back();
    lists.pop_back();
    while (current != nullptr) {
      ScanNode* following = current->next;
      if (current->firstChild != nullptr) lists.push_back(current->firstChild);
      state.pool.FreeNode(current);
      current = following;
    }
  }
  return 1;
}

int SetChecked(ScanNode* first, uint8_t value) {
  std::vector<ScanNode*> lists{first};
  while (!lists.empty()) {
    ScanNode* current = lists.back();
    lists.pop_back();
    for (; current != nullptr; current = current->next) {
      current->checked = value;
      if (current->firstChild != nullptr) lists.push_back(current->firstChild);
    }
  }
  return 1;
}

ScanNode* FindNodeById(ScanNode* folder, const ScanNode* node) {
  if (folder == nullptr || node == nullptr) return nullptr;
  const uint32_t wanted = node->parentId;
  ScanNode* hit = nullptr;
  WalkFolders(folder, [wanted, &hit](ScanNode* current) {
    for (ScanNode* child = current->firstChild; child != nullptr; child = child->next) {
      if (child->id == wanted) {
        hit = child;
        return true;
      }
    }
    return false;
  });
  return hit;
}

uint64_t CountNodes(const ScanNode* node) {
  if (node == nullptr) return 0;
  uint64_t count = 0;
  std::vector<const ScanNode*> lists{node->firstChild};
  while (!lists.empty()) {
    const ScanNode* current = lists.back();
    lists.pop_back();
    for (; current != nullptr; current = current->next) {
      ++count;
      if (current->firstChild != nullptr) lists.push_back(current->firstChild);
    }
  }
  return count;
}

}  // namespace restora
