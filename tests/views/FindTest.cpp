// SPDX-License-Identifier: GPL-3.0-or-later
// Find: name patterns, size bounds, Find Next to its end, and hits shown in both views.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "CFindDialog.h"
#include "ScanTree.h"
#include "ViewsTestTree.h"
#include "ViewsTests.h"

namespace restora::test {

void FindTest::match_data() {
  QTest::addColumn<QString>("pattern");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("matchCase");
  QTest::addColumn<bool>("matches");
  QTest::newRow("star doc, docx") << "*.doc" << "report.docx" << false << true;
  QTest::newRow("star doc, doc.bak") << "*.doc" << "a.doc.bak" << false << true;
  QTest::newRow("star doc, txt") << "*.doc" << "report.txt" << false << false;
  QTest::newRow("whole name") << "report.doc" << "REPORT.DOC" << false << true;
  QTest::newRow("whole name, case") << "report.doc" << "REPORT.DOC" << true << false;
  QTest::newRow("no wildcard, longer name") << "report.doc" << "report.docx" << false << false;
  QTest::newRow("question mark needs a character") << "ab?" << "ab" << false << false;
  QTest::newRow("question mark") << "ab?" << "abc" << false << true;
  QTest::newRow("bit 0x20 folds brackets") << "[x" << "{X" << false << true;
  QTest::newRow("star in the middle, backtracking") << "a*b*c" << "axxbyybzc" << false << true;
  QTest::newRow("star in the middle, no end") << "a*bc" << "axxbxc" << false << false;
  QTest::newRow("trailing stars on an ended name") << "abc**" << "abc" << false << true;
  QTest::newRow("empty name") << "*" << "" << false << true;
}

void FindTest::match() {
  QFETCH(QString, pattern);
  QFETCH(QString, name);
  QFETCH(bool, matchCase);
  QFETCH(bool, matches);
  QCOMPARE(MatchName(pattern.toStdU16String(), name.toStdU16String(), matchCase), matches);
}

void FindTest::sizeBounds_data() {
  QTest::addColumn<bool>("atLeast");
  QTest::addColumn<quint64>("size");
  QTest::addColumn<bool>("found");
  QTest::newRow("at least 1, 1023 B") << true << quint64{1023} << false;
  QTest::newRow("at least 1, 1024 B") << true << quint64{1024} << true;
  QTest::newRow("at most 1, 2047 B") << false << quint64{2047} << true;
  QTest::newRow("at most 1, 2048 B") << false << quint64{2048} << false;
}

void FindTest::sizeBounds() {
  QFETCH(bool, atLeast);
  QFETCH(quint64, size);
  QFETCH(bool, found);
  EngineState state;
  ScanNode* root = MakeRoot(state);
  AppendNode(state, root, u"a.bin", false, size);
  NumberTree(state, root);
  FindSettings settings{u"*", false, true, atLeast ? SizeMode::AtLeast : SizeMode::AtMost, 1};
  FindSession session;
  QCOMPARE(session.Find(settings, root) != nullptr, found);
}

void FindTest::findNextUntilEntryNotFound() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  ScanNode* docs = AppendNode(state, root, u"docs", true);
  ScanNode* first = AppendNode(state, docs, u"report.docx", false, 10);
  ScanNode* deeper = AppendNode(state, AppendNode(state, docs, u"old", true), u"a.doc", false, 10);
  AppendNode(state, root, u"notes.txt", false, 10);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  QSignalSpy notFound(views.find, &FindCommands::entryNotFound);
  QCOMPARE(views.find->FindWith({u"*.DOC", false, false, SizeMode::AtMost, 1}), first);
  QCOMPARE(views.tree->CurrentFolder(), docs);
  QCOMPARE(views.list->Model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(140, 140, 140));
  QCOMPARE(views.find->FindNextHit(), deeper);
  QCOMPARE(views.list->Model()->Found(), deeper);
  QVERIFY(views.find->CanFindNext());
  QCOMPARE(views.find->FindNextHit(), nullptr);
  QCOMPARE(notFound.count(), 1);
  QVERIFY(!views.find->CanFindNext());
  QCOMPARE(views.list->Model()->Found(), nullptr);
  // A new Find starts again from the first match.
  QCOMPARE(views.find->FindWith({u"*.doc", false, false, SizeMode::AtMost, 1}), first);
}

void FindTest::hitBelowRootSelectsRoot() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  ScanNode* docs = AppendNode(state, root, u"docs", true);
  AppendNode(state, docs, u"a.txt", false, 10);
  ScanNode* top = AppendNode(state, root, u"top.txt", false, 10);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  ClickTreeLabel(*views.tree, docs);
  QCOMPARE(views.find->FindWith({u"top.txt", false, false, SizeMode::AtMost, 1}), top);
  QCOMPARE(views.tree->CurrentFolder(), root);
  QCOMPARE(views.tree->Control()->currentIndex(), views.tree->Model()->index(0, 0));
  // The next list click acts on the root's entries, shown in the list.
  ClickListCheck(*views.list, 1);
  QVERIFY(top->checked);
  QCOMPARE(views.tree->CurrentSelection(), (Selection{10, 1, 0}));
}

void FindTest::newTreeTurnsFindNextOff() {
  EngineState state;
  ScanNode* root = MakeRoot(state);
  AppendNode(state, root, u"a.txt", false, 10);
  AppendNode(state, root, u"b.txt", false, 10);
  NumberTree(state, root);
  ResultViews views(state);
  views.tree->OnFillTree();
  QVERIFY(views.find->FindWith({u"*.txt", false, false, SizeMode::AtMost, 1}) != nullptr);
  QVERIFY(views.find->CanFindNext());
  views.tree->Reset();
  QVERIFY(!views.find->CanFindNext());
  QCOMPARE(views.list->Model()->rowCount(), 0);
  QVERIFY(!views.find->CanFind());
  views.tree->OnFillTree();
  QVERIFY(!views.find->CanFindNext());
  QCOMPARE(views.list->Model()->Found(), nullptr);
}

void FindTest::dialogRules() {
  CFindDialog dialog;
  dialog.show();
  QCOMPARE(dialog.size(), QSize(372, 166));
  QVERIFY(!dialog.SearchButton()->isEnabled());
  QVERIFY(!dialog.SizeEdit()->isEnabled());
  QTest::keyClicks(dialog.PatternEdit(), "*.doc");
  QVERIFY(dialog.SearchButton()->isEnabled());
  dialog.PatternEdit()->clear();
  QVERIFY(!dialog.SearchButton()->isEnabled());
  QTest::mouseClick(dialog.OptionsButton(), Qt::LeftButton);
  QCOMPARE(dialog.size(), QSize(372, 246));
  QCOMPARE(dialog.OptionsButton()->text(), QStringLiteral("&Hide Options"));
  dialog.SizeBox()->setChecked(true);
  QVERIFY(dialog.SizeEdit()->isEnabled());
  QTest::mouseClick(dialog.OptionsButton(), Qt::LeftButton);
  QCOMPARE(dialog.size(), QSize(372, 166));
  QCOMPARE(CFindDialog::SizeError(QString()), QStringLiteral("Please provide file size in KB."));
  QCOMPARE(CFindDialog::SizeError(QStringLiteral("0")), QStringLiteral("Please enter value greater then zero."));
  QVERIFY(CFindDialog::SizeError(QStringLiteral("12")).isEmpty());
}

}  // namespace restora::test
