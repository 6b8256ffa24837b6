// SPDX-License-Identifier: GPL-3.0-or-later
// Operations on a scan tree: numbering, freeing, checking and finding by identifier. All of them
// walk iteratively, so a tree of any depth is safe.
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// A new node from the state's pool, zero-filled.
ScanNode* NewNode(EngineState& state);

// Puts child at the head of folder's children.
void PushChildFront(ScanNode* folder, ScanNode* child);

// Gives every node below node an identifier from the kind's counter (siblings consecutively,
// folder by folder) and sets parent and parentId. Returns 1.
int NumberTree(EngineState& state, ScanNode* node);

// Frees every node below node, children first; node itself stays (with no children). A null
// node is allowed. Returns 1.
int FreeTree(EngineState& state, ScanNode* node);

// Writes value into checked of first, of all its following siblings and of all their
// descendants. Returns 1.
int SetChecked(ScanNode* first, uint8_t value);

// The first node below folder whose id equals node's parentId: the direct children first, in
// list order, then each child's subtree in list order by the same rule. Null when none matches.
ScanNode* FindNodeById(ScanNode* folder, const ScanNode* node);

// The number of nodes below node (node itself not counted).
uint64_t CountNodes(const ScanNode* node);

}  // namespace restora
