// SPDX-License-Identifier: GPL-3.0-or-later
// Scan trees for the views' tests and the two views wired as the main frame wires them.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "EngineState.h"
#include "FindCommands.h"

namespace restora::test {

// Appends a node to folder's children; folders get the live folder status.
ScanNode* AppendNode(EngineState& state, ScanNode* folder, const std::u16string& name, bool isFolder,
                     uint64_t size = 0, uint8_t status = 1);
// A fresh root in state (FAT16 kind), numbered after the caller has added nodes.
ScanNode* MakeRoot(EngineState& state);
// A tree below a fresh root: depth levels, width/2 to width entries per folder (every third a
// folder; those on the last level empty), live or deleted, files of random sizes; numbered.
// Returns the root.
ScanNode* MakeRandomTree(EngineState& state, std::mt19937& random, int depth, int width);

// Both views, connected, with Find, shown at a fixed size.
struct ResultViews {
  explicit ResultViews(EngineState& state);
  std::unique_ptr<QWidget> window;
  CTXtndTreeView* tree;
  CTXtndListView* list;
  FindCommands* find;
};

// Clicks the check box of a tree item or a list row as a user does.
void ClickTreeCheck(CTXtndTreeView& view, const ScanNode* folder);
void ClickListCheck(CTXtndListView& view, int row);
// Clicks a tree item's label.
void ClickTreeLabel(CTXtndTreeView& view, const ScanNode* folder);

}  // namespace restora::test
