// SPDX-License-Identifier: GPL-3.0-or-later
// Scan trees for the views' tests, the two views wired as the main window wires them, and
// clicks on them as a user makes them (also used by the screenshots).
#pragma once

#include <QHBoxLayout>
#include <QTest>
#include <memory>
#include <random>
#include <string>

#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "EngineState.h"
#include "FindCommands.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora::test {

// A numbered tree: depth levels, width/2 to width entries per folder (every third a folder, none
// on the last level), live or deleted, files of random sizes.
inline ScanNode* MakeRandomTree(EngineState& state, std::mt19937& random, int depth, int width) {
  ScanNode* root = MakeRoot(state);
  std::vector<std::pair<ScanNode*, int>> pending{{root, 0}};
  for (int serial = 0; !pending.empty();) {
    auto [folder, level] = pending.back();
    pending.pop_back();
    const int children = width / 2 + static_cast<int>(random() % static_cast<unsigned>(width / 2 + 1));
    for (int i = 0; i < children; ++i, ++serial) {
      const bool isFolder = level + 1 < depth && i % 3 == 0;
      const std::u16string name{u'n', static_cast<char16_t>(u'a' + serial % 26), static_cast<char16_t>(u'0' + serial % 10)};
      ScanNode* node = AppendNode(state, folder, name, isFolder, isFolder ? 0 : random() % 5000000, random() % 2);
      if (isFolder) pending.emplace_back(node, level + 1);
    }
  }
  NumberTree(state, root);
  return root;
}

// Both views, connected, with Find, shown at a fixed size.
struct ResultViews {
  explicit ResultViews(EngineState& state) : window(std::make_unique<QWidget>()) {
    auto* layout = new QHBoxLayout(window.get());
    layout->addWidget(tree = new CTXtndTreeView(state, window.get()));
    layout->addWidget(list = new CTXtndListView(state, window.get()), 2);
    ConnectResultViews(tree, list);
    find = new FindCommands(state, tree, list, window.get());
    window->resize(1000, 700);
    window->show();
  }
  std::unique_ptr<QWidget> window;
  CTXtndTreeView* tree;
  CTXtndListView* list;
  FindCommands* find;
};

// Clicks a tree item's check box (label: its label instead), its ancestors expanded first.
inline void ClickTreeItem(CTXtndTreeView& view, const ScanNode* folder, bool label = false) {
  const QModelIndex index = view.Model()->IndexOf(folder);
  QVERIFY(index.isValid());
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view.Control()->expand(up);
  view.Control()->scrollTo(index);
  const QRect item = view.Control()->visualRect(index);
  const QPoint at = label ? QPoint(item.right() - 3, item.center().y()) : view.Control()->CheckRect(index).center();
  QTest::mouseClick(view.Control()->viewport(), Qt::LeftButton, {}, at);
}

inline void ClickListCheck(CTXtndListView& view, int row) {
  const QModelIndex index = view.Model()->index(row, 0);
  view.Control()->scrollTo(index);
  QTest::mouseClick(view.Control()->viewport(), Qt::LeftButton, {}, view.Control()->CheckRect(index).center());
}

}  // namespace restora::test
