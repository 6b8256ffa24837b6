// SPDX-License-Identifier: GPL-3.0-or-later
// Trees and views for the views' tests.
#include "ViewsTestTree.h"

#include <QHBoxLayout>
#include <QTest>

#include "ScanTree.h"

namespace restora::test {

ScanNode* AppendNode(EngineState& state, ScanNode* folder, const std::u16string& name, bool isFolder, uint64_t size,
                     uint8_t status) {
  ScanNode* node = NewNode(state);
  node->name = name;
  node->size = size;
  node->status = static_cast<uint8_t>(status | (isFolder ? kStatusFolder : 0));
  ScanNode** slot = &folder->firstChild;
  while (*slot != nullptr) slot = &(*slot)->next;
  *slot = node;
  return node;
}

ScanNode* MakeRoot(EngineState& state) {
  state.volumeInfo.kind = SourceKind::Fat16;
  state.scanRoot = NewNode(state);
  state.scanRoot->status = kStatusLiveFolder;
  return state.scanRoot;
}

ScanNode* MakeRandomTree(EngineState& state, std::mt19937& random, int depth, int width) {
  ScanNode* root = MakeRoot(state);
  std::vector<std::pair<ScanNode*, int>> pending{{root, 0}};
  int serial = 0;
  while (!pending.empty()) {
    auto [folder, level] = pending.back();
    pending.pop_back();
    const int children = width / 2 + static_cast<int>(random() % static_cast<unsigned>(width / 2 + 1));
    for (int i = 0; i < children; ++i) {
      const bool isFolder = level + 1 < depth && i % 3 == 0;
      std::u16string name = u"n" + std::u16string(1, static_cast<char16_t>(u'a' + serial % 26));
      name += static_cast<char16_t>(u'0' + serial++ % 10);
      ScanNode* node = AppendNode(state, folder, name, isFolder, isFolder ? 0 : random() % 5000000, random() % 2);
      if (isFolder) pending.emplace_back(node, level + 1);
    }
  }
  NumberTree(state, root);
  return root;
}

ResultViews::ResultViews(EngineState& state) : window(std::make_unique<QWidget>()) {
  auto* layout = new QHBoxLayout(window.get());
  tree = new CTXtndTreeView(state, window.get());
  list = new CTXtndListView(state, window.get());
  layout->addWidget(tree);
  layout->addWidget(list, 2);
  ConnectResultViews(tree, list);
  find = new FindCommands(state, tree, list, window.get());
  window->resize(1000, 700);
  window->show();
}

void ClickTreeCheck(CTXtndTreeView& view, const ScanNode* folder) {
  const QModelIndex index = view.Model()->IndexOf(folder);
  QVERIFY(index.isValid());
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view.Control()->expand(up);
  view.Control()->scrollTo(index);
  const QRect box = view.Control()->CheckRect(index);
  QVERIFY(!box.isEmpty());
  QTest::mouseClick(view.Control()->viewport(), Qt::LeftButton, {}, box.center());
}

void ClickListCheck(CTXtndListView& view, int row) {
  const QModelIndex index = view.Model()->index(row, 0);
  view.Control()->scrollTo(index);
  const QRect box = view.Control()->CheckRect(index);
  QVERIFY(!box.isEmpty());
  QTest::mouseClick(view.Control()->viewport(), Qt::LeftButton, {}, box.center());
}

void ClickTreeLabel(CTXtndTreeView& view, const ScanNode* folder) {
  const QModelIndex index = view.Model()->IndexOf(folder);
  QVERIFY(index.isValid());
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view.Control()->expand(up);
  view.Control()->scrollTo(index);
  const QRect item = view.Control()->visualRect(index);
  QTest::mouseClick(view.Control()->viewport(), Qt::LeftButton, {}, QPoint(item.right() - 3, item.center().y()));
}

}  // namespace restora::test
