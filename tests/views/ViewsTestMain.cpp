// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every test class of the views' tests in one process.
#include <QApplication>
#include <QTest>

#include "ViewsTests.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Ferrolin Restora"));
  int failed = 0;
  restora::test::CheckMarksTest checkMarks;
  failed += QTest::qExec(&checkMarks, argc, argv);
  restora::test::ContentsListTest contentsList;
  failed += QTest::qExec(&contentsList, argc, argv);
  restora::test::FindTest find;
  failed += QTest::qExec(&find, argc, argv);
  restora::test::ScanViewsTest scanViews;
  failed += QTest::qExec(&scanViews, argc, argv);
  return failed == 0 ? 0 : 1;
}
