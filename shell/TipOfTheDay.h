// SPDX-License-Identifier: GPL-3.0-or-later
// The tip-of-the-day dialog over the tips file "stips.txt", one tip per line.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;

namespace restora {

class TipOfTheDay : public QDialog {
  Q_OBJECT

 public:
  // tipsFile is created with one tip when it does not exist (or is a folder).
  explicit TipOfTheDay(const QString& tipsFile, QWidget* parent = nullptr);
  // The user's data folder's "stips.txt".
  static QString DefaultTipsFile();
  QString CurrentTip() const;
  // The dialog's own "Show tips on startup" option, kept in the user's settings (on at first).
  static bool ShowAtStartup();

 private:
  void ShowNext();
  QStringList m_tips;
  int m_index = 0;
  QLabel* m_text = nullptr;
};

}  // namespace restora
