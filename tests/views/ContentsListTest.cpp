// SPDX-License-Identifier: GPL-3.0-or-later
// Contents list rows: texts per layout, sorting, and what the mouse may do.
#include <QAbstractItemModelTester>
#include <QTest>

#include "NodeText.h"
#include "ScanTree.h"
#include "ViewsTestTree.h"
#include "ViewsTests.h"

namespace restora::test {

namespace {
// 05-12-2006 00:00 and 31-12-1601 23:59:59 as FILETIME.
constexpr uint64_t kFileTime2006 = 128097504000000000ULL;
constexpr uint64_t kFileTimeEnd1601 = 864000000000ULL * 365 - 10000000ULL;
}  // namespace

void ContentsListTest::cellTexts_data() {
  QTest::addColumn<bool>("ntfs");
  QTest::addColumn<quint16>("attributes");
  QTest::addColumn<quint64>("fileTime");
  QTest::addColumn<quint16>("fatDate");
  QTest::addColumn<QString>("attributeText");
  QTest::addColumn<QString>("dateText");
  QTest::newRow("FAT folder") << false << quint16{0x10} << quint64{0} << quint16{0x5821} << "___D____" << "01-01-2024";
  QTest::newRow("FAT archive") << false << quint16{0x20} << quint64{0} << quint16{0x3585} << "__A_____" << "05-12-2006";
  QTest::newRow("FAT date 0") << false << quint16{0x27} << quint64{0} << quint16{0} << "__A__SHR" << "";
  QTest::newRow("FAT 31 February") << false << quint16{0} << quint64{0} << quint16{0x005F} << "________" << "";
  QTest::newRow("NTFS archive") << true << quint16{0x20} << quint64{kFileTime2006} << quint16{0} << "__________A_____" << "05-12-2006";
  QTest::newRow("NTFS all bits") << true << quint16{0xFFFF} << quint64{kFileTimeEnd1601} << quint16{0} << "-EIOC--TNDA--SHR" << "31-12-1601";
  QTest::newRow("NTFS largest time") << true << quint16{0x0800} << ~quint64{0} << quint16{0} << "____C___________" << "28-05-60056";
}

void ContentsListTest::cellTexts() {
  QFETCH(bool, ntfs);
  QFETCH(quint16, attributes);
  QFETCH(quint64, fileTime);
  QFETCH(quint16, fatDate);
  QFETCH(QString, attributeText);
  QFETCH(QString, dateText);
  EngineState state;
  ScanNode* root = MakeRoot(state);
  state.volumeInfo.kind = ntfs ? SourceKind::Ntfs : SourceKind::Fat32;
  ScanNode* node = AppendNode(state, root, u"entry", false, 4096);
  node->attributes = attributes;
  node->modified = node->created = fileTime;
  node->modifiedDate = node->createdDate = fatDate;
  AppendNode(state, root, u"sub", true, 777);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  const ContentsListModel* model = views.list->Model();
  QCOMPARE(model->rowCount(), 2);  // an unreadable date still gives its row
  auto cell = [&](int row, ListColumn column) { return model->index(row, int(column)).data().toString(); };
  QCOMPARE(cell(0, ListColumn::Attribute), attributeText);
  QCOMPARE(cell(0, ListColumn::Modified), dateText);
  QCOMPARE(cell(0, ListColumn::Created), dateText);
  QCOMPARE(cell(0, ListColumn::Size), QStringLiteral("4096"));
  QCOMPARE(cell(1, ListColumn::Size), QStringLiteral("0"));
  QCOMPARE(cell(0, ListColumn::FileId), QString::number(node->id));
  QCOMPARE(cell(0, ListColumn::ParentId), QString::number(root->id));
}

void ContentsListTest::listModelPassesModelTester() {
  std::mt19937 random(11);
  EngineState state;
  MakeRandomTree(state, random, 2, 40);
  FolderIndex index;
  CheckStates checks(index);
  index.Build(state.scanRoot);
  checks.Rebuild();
  ContentsListModel model;
  model.SetChecks(&checks);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  model.Show(state.scanRoot->firstChild);
  model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole);
  model.SortByHeading(1);
  model.SortByHeading(0);
  model.Show(nullptr);
  QCOMPARE(model.rowCount(), 0);
}

void ContentsListTest::sortingReversesAndComparesSixtyFourBits() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  const uint64_t sizes[] = {100, (uint64_t{4} << 30) + 10, uint64_t{3} << 30, (uint64_t{5} << 30), 0};
  int serial = 0;
  for (uint64_t size : sizes) {
    ScanNode* node = AppendNode(state, root, std::u16string(1, static_cast<char16_t>(u'e' - serial)), false, size);
    node->modifiedDate = static_cast<uint16_t>(0x5821 + 32 * (serial++ % 3));
  }
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  ContentsListModel* model = views.list->Model();
  auto column = [&](ListColumn c) {
    std::vector<uint64_t> values;
    for (int row = 0; row < model->rowCount(); ++row) {
      const ScanNode* node = model->NodeAt(row);
      values.push_back(c == ListColumn::Size ? node->size : c == ListColumn::Name ? node->name[0] : DateKey(*node, c, false));
    }
    return values;
  };
  for (ListColumn key : {ListColumn::Size, ListColumn::Name, ListColumn::Modified}) {
    views.list->OnHeadingClicked(int(key));
    std::vector<uint64_t> first = column(key);
    QVERIFY(std::is_sorted(first.begin(), first.end()) || std::is_sorted(first.rbegin(), first.rend()));
    views.list->OnHeadingClicked(int(key));
    std::vector<uint64_t> second = column(key);
    std::reverse(second.begin(), second.end());
    if (key != ListColumn::Modified) QCOMPARE(second, first);  // dates repeat: only their order reverses
    QVERIFY(std::is_sorted(second.begin(), second.end()) == std::is_sorted(first.begin(), first.end()));
  }
  // A new fill shows the list order again.
  views.list->OnShowFolder(root->firstChild);
  QCOMPARE(model->NodeAt(0), root->firstChild);
  QCOMPARE(model->NodeAt(4), root->firstChild->next->next->next->next);
}

void ContentsListTest::mouseOnlyTogglesBoxesAndOpensFolders() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  ScanNode* folder = AppendNode(state, root, u"photos", true);
  AppendNode(state, folder, u"a.jpg", false, 10);
  AppendNode(state, root, u"b.txt", false, 20);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  CTXtndListCtrl* list = views.list->Control();
  const QRect text = list->visualRect(list->model()->index(1, 2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, text.center());
  QVERIFY(!list->currentIndex().isValid());
  QVERIFY(!list->selectionModel()->hasSelection());
  QCOMPARE(root->firstChild->next->checked, uint8_t{0});
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, text.center());  // a file: nothing
  QCOMPARE(views.list->Model()->First(), root->firstChild);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 3)).center());
  QCOMPARE(views.list->Model()->First(), folder->firstChild);
  QCOMPARE(views.tree->CurrentFolder(), folder);
}

}  // namespace restora::test
