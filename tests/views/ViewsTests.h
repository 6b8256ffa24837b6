// SPDX-License-Identifier: GPL-3.0-or-later
// The test classes of the views' tests.
#pragma once

#include <QObject>

namespace restora::test {

class CheckMarksTest final : public QObject {
  Q_OBJECT
 private slots:
  void randomClicksKeepMarksAndTotals();
  void oneOfTwoFilesMarksAncestorsPartly();
  void checkingRootCountsItAsAFolder();
  void totalsTexts_data();
  void totalsTexts();
  void folderModelPassesModelTester();
};

class ContentsListTest final : public QObject {
  Q_OBJECT
 private slots:
  void cellTexts_data();
  void cellTexts();
  void listModelPassesModelTester();
  void sortingReversesAndComparesSixtyFourBits();
  void mouseOnlyTogglesBoxesAndOpensFolders();
};

class FindTest final : public QObject {
  Q_OBJECT
 private slots:
  void match_data();
  void match();
  void sizeBounds_data();
  void sizeBounds();
  void findNextUntilEntryNotFound();
  void hitBelowRootSelectsRoot();
  void newTreeTurnsFindNextOff();
  void dialogRules();
};

class ScanViewsTest final : public QObject {
  Q_OBJECT
 private slots:
  void fatScanSaveReopenAndReplace();
};

}  // namespace restora::test
