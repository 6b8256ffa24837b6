// SPDX-License-Identifier: GPL-3.0-or-later
// Check marks and selection totals after user clicks on both views.
#include <QAbstractItemModelTester>
#include <QTest>
#include <map>

#include "Destination.h"
#include "RecoveryWriter.h"
#include "ScanTree.h"
#include "TotalsText.h"
#include "ViewsTestTree.h"
#include "ViewsTests.h"
#include "WriterSupport.h"

namespace restora::test {

namespace {

// Accepts every folder and file and keeps nothing: what a save creates is seen by its listener.
class NullDestination final : public Destination {
 public:
  CreateStatus CreateFolder(const std::string&) override { return CreateStatus::Done; }
  CreateStatus CreateFile(const std::string&, std::unique_ptr<OutputFile>* file) override {
    *file = std::make_unique<MemoryOutputFile>();
    return CreateStatus::Done;
  }
  int EnterFolder(const std::string&) override { return 1; }
  int LeaveFolder() override { return 1; }
  std::string LastError() const override { return {}; }
};

class SavedCounter final : public SaveListener {
 public:
  void EntrySaved(const SavedEntry& entry) override {
    if (entry.node->firstChild != nullptr) {
      ++selection.selectedFolders;
    } else {
      ++selection.selectedFiles;
      selection.selectedBytes += entry.node->size;
    }
  }
  Selection selection;
};

// What a save of the checked entries writes; the root counts as a folder when it is checked.
Selection SavedSelection(EngineState& state) {
  NullDestination destination;
  SavedCounter counter;
  state.keepRunning = 1;
  (void)SaveCheckedEntries(state, destination, nullptr, &counter);
  if (state.scanRoot->checked) ++counter.selection.selectedFolders;
  return counter.selection;
}

// The mark a folder must show, from its whole subtree including itself.
CheckMark ExpectedMark(const ScanNode* folder) {
  bool all = folder->checked != 0;
  bool any = folder->checked != 0;
  std::vector<const ScanNode*> lists{folder->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      all = all && node->checked != 0;
      any = any || node->checked != 0;
      if (node->firstChild) lists.push_back(node->firstChild);
    }
  }
  if (all) return CheckMark::Checked;
  return any ? CheckMark::Partly : CheckMark::Unchecked;
}

Qt::CheckState QtState(CheckMark mark) {
  return mark == CheckMark::Checked ? Qt::Checked : mark == CheckMark::Partly ? Qt::PartiallyChecked : Qt::Unchecked;
}

// Both rules over every node, and the totals against a save; reports the first break.
void VerifyRules(EngineState& state, ResultViews& views) {
  std::vector<ScanNode*> all;
  std::vector<ScanNode*> lists{state.scanRoot};
  while (!lists.empty()) {
    ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      all.push_back(node);
      if (node->firstChild) lists.push_back(node->firstChild);
    }
  }
  for (ScanNode* node : all) {
    if (node->checked) {
      for (const ScanNode* up = node->parent; up != nullptr && up != state.scanRoot; up = up->parent) {
        QVERIFY2(up->checked, "a checked node has an unchecked ancestor");
      }
    }
    if (!IsFolderLike(*node)) continue;
    const QModelIndex item = views.tree->Model()->IndexOf(node);
    QCOMPARE(item.data(Qt::CheckStateRole).value<Qt::CheckState>(), QtState(ExpectedMark(node)));
  }
  QCOMPARE(views.tree->CurrentSelection(), SavedSelection(state));
}

}  // namespace

void CheckMarksTest::randomClicksKeepMarksAndTotals() {
  std::mt19937 random(20261206);
  EngineState state;
  MakeRandomTree(state, random, 4, 7);
  ResultViews views(state);
  views.tree->OnFillTree();
  std::vector<ScanNode*> folders;
  std::vector<ScanNode*> pending{state.scanRoot};
  while (!pending.empty()) {
    ScanNode* folder = pending.back();
    pending.pop_back();
    folders.push_back(folder);
    for (ScanNode* child = folder->firstChild; child; child = child->next) {
      if (IsFolderLike(*child)) pending.push_back(child);
    }
  }
  QVERIFY2(folders.size() > 10, qPrintable(QString::number(folders.size())));
  for (int click = 0; click < 3000; ++click) {
    ScanNode* folder = folders[random() % folders.size()];
    if (random() % 3 == 0) {
      ClickTreeCheck(*views.tree, folder);
    } else {
      ClickTreeLabel(*views.tree, folder);
      QCOMPARE(views.tree->CurrentFolder(), folder);
      const int rows = views.list->Model()->rowCount();
      if (rows == 0) continue;
      ClickListCheck(*views.list, static_cast<int>(random() % static_cast<unsigned>(rows)));
    }
    VerifyRules(state, views);
    if (QTest::currentTestFailed()) {
      qWarning("broken after click %d", click);
      return;
    }
  }
}

void CheckMarksTest::oneOfTwoFilesMarksAncestorsPartly() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  ScanNode* outer = AppendNode(state, root, u"outer", true);
  ScanNode* inner = AppendNode(state, outer, u"inner", true);
  AppendNode(state, inner, u"a.txt", false, 100);
  AppendNode(state, inner, u"b.txt", false, 200);
  AppendNode(state, root, u"other.txt", false, 50);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  ClickTreeLabel(*views.tree, inner);
  ClickListCheck(*views.list, 0);
  FolderTreeModel* model = views.tree->Model();
  for (const ScanNode* folder : {root, outer, inner}) {
    QCOMPARE(model->IndexOf(folder).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::PartiallyChecked);
  }
  QVERIFY(outer->checked && inner->checked && !root->checked);
  QCOMPARE(views.tree->CurrentSelection(), (Selection{100, 1, 2}));
  ClickListCheck(*views.list, 0);
  for (const ScanNode* folder : {root, outer, inner}) {
    QCOMPARE(model->IndexOf(folder).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
  }
  QVERIFY(!outer->checked && !inner->checked);
  QCOMPARE(views.tree->CurrentSelection(), Selection{});
}

void CheckMarksTest::checkingRootCountsItAsAFolder() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  ScanNode* folder = AppendNode(state, root, u"docs", true);
  AppendNode(state, folder, u"a.doc", false, 1000);
  AppendNode(state, root, u"b.doc", false, 24);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  ClickTreeCheck(*views.tree, root);
  QCOMPARE(views.tree->CurrentSelection(), (Selection{1024, 2, 2}));
  QCOMPARE(views.tree->PaneText(2), QStringLiteral("Selected   1.000 KB in 2 Files in 2 Folders"));
  // Unchecking one file leaves the root partly checked and no longer counted.
  ClickListCheck(*views.list, 1);
  QCOMPARE(views.tree->CurrentSelection(), (Selection{1000, 1, 1}));
  QCOMPARE(views.tree->Model()->index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::PartiallyChecked);
}

void CheckMarksTest::totalsTexts_data() {
  QTest::addColumn<quint64>("bytes");
  QTest::addColumn<QString>("text");
  QTest::newRow("KB below 1 MiB") << quint64{1048575} << QStringLiteral("Total 1023.999 KB in 3 Files in 4 Folders");
  QTest::newRow("1 MiB") << quint64{1048576} << QStringLiteral("Total   1.000 MB in 3 Files in 4 Folders");
  QTest::newRow("1 GiB") << quint64{1073741824} << QStringLiteral("Total   1.000 GB in 3 Files in 4 Folders");
  QTest::newRow("above 4 GiB") << quint64{5} * 1073741824 << QStringLiteral("Total   5.000 GB in 3 Files in 4 Folders");
}

void CheckMarksTest::totalsTexts() {
  QFETCH(quint64, bytes);
  QFETCH(QString, text);
  QCOMPARE(TotalsText("Total", bytes, 3, 4), text);
}

void CheckMarksTest::folderModelPassesModelTester() {
  std::mt19937 random(7);
  EngineState state;
  MakeRandomTree(state, random, 5, 5);
  FolderIndex index;
  CheckStates checks(index);
  FolderTreeModel model(index, checks);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  model.Fill(state.scanRoot);
  model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole);
  model.Reset();
  model.Fill(state.scanRoot);
}

}  // namespace restora::test
