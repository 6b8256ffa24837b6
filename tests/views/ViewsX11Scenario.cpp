// SPDX-License-Identifier: GPL-3.0-or-later
// One user session with the result views on a real X server: the window is mapped, a folder is
// checked and opened with the mouse, a row is checked, and Find shows its hit.
#include <QTest>

#include "CFindDialog.h"
#include "ScanTree.h"
#include "ViewsTestTree.h"

namespace restora::test {

class ViewsX11Scenario final : public QObject {
  Q_OBJECT
 private slots:
  void checkOpenAndFind() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EngineState state;
    ScanNode* root = MakeRoot(state);
    ScanNode* photos = AppendNode(state, root, u"photos", true, 0, 0);
    AppendNode(state, photos, u"beach.jpg", false, 2000000, 0);
    AppendNode(state, photos, u"party.jpg", false, 1000000, 0);
    ScanNode* notes = AppendNode(state, root, u"notes", true);
    AppendNode(state, notes, u"report.docx", false, 1048576);
    NumberTree(state, root);
    ResultViews views(state);
    QVERIFY(QTest::qWaitForWindowExposed(views.window.get()));
    views.tree->OnFillTree();
    QCOMPARE(views.tree->PaneText(1), QStringLiteral("Total   3.000 MB in 3 Files in 2 Folders"));

    ClickTreeCheck(*views.tree, photos);
    QCOMPARE(views.tree->PaneText(2), QStringLiteral("Selected   2.861 MB in 2 Files in 1 Folders"));
    CTXtndListCtrl* list = views.list->Control();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
    QCOMPARE(views.tree->CurrentFolder(), photos);
    ClickListCheck(*views.list, 1);
    QCOMPARE(views.tree->PaneText(2), QStringLiteral("Selected   1.907 MB in 1 Files in 1 Folders"));
    QCOMPARE(views.tree->Model()->IndexOf(photos).data(Qt::CheckStateRole).value<Qt::CheckState>(),
             Qt::PartiallyChecked);

    QCOMPARE(views.find->FindWith({u"*.DOC", false, false, SizeMode::AtMost, 1}), notes->firstChild);
    QCOMPARE(views.tree->CurrentFolder(), notes);
    QCOMPARE(views.tree->Control()->currentIndex(), views.tree->Model()->IndexOf(notes));
  }
};

}  // namespace restora::test

QTEST_MAIN(restora::test::ViewsX11Scenario)
#include "ViewsX11Scenario.moc"
