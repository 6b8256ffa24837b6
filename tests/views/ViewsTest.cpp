// SPDX-License-Identifier: GPL-3.0-or-later
// The result views as a user sees them: check marks and selection totals after clicks, sorting
// the list, and Find. Runs offscreen, and in part again on a real X server. (A real scan
// saved, reopened and replaced in the views is a test of the main window, tests/shell.)
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>

#include "TotalsText.h"
#include "ViewsTestTree.h"

namespace restora::test {

namespace {

std::vector<ScanNode*> AllNodes(ScanNode* root) {
  std::vector<ScanNode*> all, lists{root};
  while (!lists.empty()) {
    ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      all.push_back(node);
      if (node->firstChild) lists.push_back(node->firstChild);
    }
  }
  return all;
}

Qt::CheckState Mark(ResultViews& views, const ScanNode* folder) {
  return views.tree->Model()->IndexOf(folder).data(Qt::CheckStateRole).value<Qt::CheckState>();
}

// Every folder's mark follows its whole subtree; a checked node's ancestors are checked; the
// selection counts the checked files and the checked folders (the root too).
void VerifyRules(EngineState& state, ResultViews& views) {
  Selection expected;
  for (ScanNode* node : AllNodes(state.scanRoot)) {
    if (node->checked) {
      ++(node->firstChild ? expected.selectedFolders : expected.selectedFiles);
      if (!node->firstChild) expected.selectedBytes += node->size;
      for (const ScanNode* up = node->parent; up != nullptr && up != state.scanRoot; up = up->parent) {
        QVERIFY2(up->checked, "a checked node has an unchecked ancestor");
      }
    }
    if (!IsFolderLike(*node)) continue;
    bool all = node->checked != 0, any = all;
    for (const ScanNode* below : AllNodes(node->firstChild)) {
      all = all && below->checked;
      any = any || below->checked;
    }
    QCOMPARE(Mark(views, node), all ? Qt::Checked : any ? Qt::PartiallyChecked : Qt::Unchecked);
  }
  QVERIFY(views.tree->CurrentSelection() == expected);
}

}  // namespace

class ViewsTest final : public QObject {
  Q_OBJECT
 private slots:
  // Random clicks on both views keep the rules above and both models consistent.
  void randomClicksKeepMarksAndTotals() {
    std::mt19937 random(20261206);
    EngineState state;
    MakeRandomTree(state, random, 4, 7);
    ResultViews views(state);
    const auto reporting = QAbstractItemModelTester::FailureReportingMode::QtTest;
    QAbstractItemModelTester folderModel(views.tree->Model(), reporting), listModel(views.list->Model(), reporting);
    views.tree->OnFillTree();
    std::vector<ScanNode*> folders;
    for (ScanNode* node : AllNodes(state.scanRoot)) {
      if (IsFolderLike(*node)) folders.push_back(node);
    }
    QVERIFY(folders.size() > 10);
    for (int click = 0; click < 2000 && !QTest::currentTestFailed(); ++click) {
      ScanNode* folder = folders[random() % folders.size()];
      if (random() % 3 == 0) {
        ClickTreeItem(*views.tree, folder);
      } else {
        ClickTreeItem(*views.tree, folder, true);
        QCOMPARE(views.tree->CurrentFolder(), folder);
        const int rows = views.list->Model()->rowCount();
        if (rows > 0) ClickListCheck(*views.list, static_cast<int>(random() % static_cast<unsigned>(rows)));
      }
      VerifyRules(state, views);
    }
  }

  void totalsTexts() {
    QCOMPARE(TotalsText("Total", 1048575, 3, 4), QStringLiteral("Total 1023.999 KB in 3 Files in 4 Folders"));
    QCOMPARE(TotalsText("Total", 1048576, 3, 4), QStringLiteral("Total   1.000 MB in 3 Files in 4 Folders"));
    QCOMPARE(TotalsText("Selected", uint64_t{5} << 30, 3, 4), QStringLiteral("Selected   5.000 GB in 3 Files in 4 Folders"));
  }

  // Sizes above 4 GiB count whole in the selection and sort by all 64 bits; a second click
  // reverses; checks stay with their rows.
  void sortingKeepsChecks() {
    EngineState state;
    ScanNode* root = MakeRoot(state);
    for (uint64_t size : {uint64_t{100}, (uint64_t{4} << 30) + 10, uint64_t{3} << 30, uint64_t{5} << 30, uint64_t{0}}) {
      AppendNode(state, root, u"f" + std::u16string(1, static_cast<char16_t>(u'a' + size % 7)), false, size);
    }
    NumberTree(state, root);
    ResultViews views(state);
    views.tree->OnFillTree();
    ContentsListModel* model = views.list->Model();
    ClickListCheck(*views.list, 1);
    const Selection selection = views.tree->CurrentSelection();
    QCOMPARE(selection.selectedBytes, (uint64_t{4} << 30) + 10);
    for (const uint64_t first : {uint64_t{5} << 30, uint64_t{0}}) {
      views.list->OnHeadingClicked(int(ListColumn::Size));
      std::vector<uint64_t> sizes;
      for (int row = 0; row < model->rowCount(); ++row) {
        sizes.push_back(model->NodeAt(row)->size);
        QCOMPARE(model->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
                 model->NodeAt(row)->checked ? Qt::Checked : Qt::Unchecked);
      }
      QCOMPARE(sizes.front(), first);
      QVERIFY(std::is_sorted(sizes.begin(), sizes.end()) || std::is_sorted(sizes.rbegin(), sizes.rend()));
    }
    QVERIFY(root->firstChild->next->checked);
    QVERIFY(views.tree->CurrentSelection() == selection);
  }

  void namePatterns() {
    const struct {
      const char16_t *pattern, *name;
      bool matchCase, matches;
    } cases[] = {{u"*.doc", u"report.docx", false, true},       {u"report.doc", u"REPORT.DOC", false, true},
                 {u"report.doc", u"REPORT.DOC", true, false},   {u"report.doc", u"report.docx", false, false},
                 {u"a*b*c", u"axxbyybzc", false, true},         {u"a*bc", u"axxbxc", false, false}};
    for (const auto& c : cases) {
      QVERIFY2(MatchName(c.pattern, c.name, c.matchCase) == c.matches, QString::fromUtf16(c.pattern).toUtf8());
    }
  }

  // Hits in turn, in both views, to "Entry not found"; sizes bound the search in KB; a hit in
  // the root selects "Root"; a double-click on a folder row opens it.
  void findAndOpen() {
    EngineState state;
    ScanNode* root = MakeRoot(state);
    ScanNode* docs = AppendNode(state, root, u"docs", true);
    ScanNode* first = AppendNode(state, docs, u"report.docx", false, 1023);
    ScanNode* deeper = AppendNode(state, AppendNode(state, docs, u"old", true), u"a.doc", false, 2048);
    ScanNode* top = AppendNode(state, root, u"top.txt", false, 10);
    NumberTree(state, root);
    ResultViews views(state);
    views.tree->OnFillTree();
    QSignalSpy notFound(views.find, &FindCommands::entryNotFound);
    QCOMPARE(views.find->FindWith({u"*.DOC", false, false, SizeMode::AtMost, 1}), first);
    QCOMPARE(views.tree->CurrentFolder(), docs);
    QCOMPARE(views.list->Model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(140, 140, 140));
    QCOMPARE(views.find->FindNextHit(), deeper);
    QCOMPARE(views.list->Model()->Found(), deeper);
    QCOMPARE(views.find->FindNextHit(), nullptr);
    QCOMPARE(notFound.count(), 1);
    QVERIFY(!views.find->CanFindNext());
    QCOMPARE(views.find->FindWith({u"*.doc", false, true, SizeMode::AtLeast, 1}), deeper);
    QCOMPARE(views.find->FindWith({u"*.doc", false, true, SizeMode::AtMost, 1}), first);
    QCOMPARE(views.find->FindNextHit(), nullptr);

    QCOMPARE(views.find->FindWith({u"top.txt", false, false, SizeMode::AtMost, 1}), top);
    QCOMPARE(views.tree->CurrentFolder(), root);
    QCOMPARE(views.tree->Control()->currentIndex(), views.tree->Model()->index(0, 0));
    ClickListCheck(*views.list, 1);
    QVERIFY(top->checked);
    QVERIFY(views.tree->CurrentSelection() == (Selection{10, 1, 0}));
    CTXtndListCtrl* list = views.list->Control();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
    QCOMPARE(views.tree->CurrentFolder(), docs);
    QCOMPARE(views.list->Model()->First(), docs->firstChild);
  }
};

}  // namespace restora::test

QTEST_MAIN(restora::test::ViewsTest)
#include "ViewsTest.moc"
