// SPDX-License-Identifier: GPL-3.0-or-later
// The 25-pixel caption above each result view, optionally with a close button.
#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace restora {

class CaptionBar final : public QWidget {
  Q_OBJECT
 public:
  CaptionBar(const QString& text, bool closeButton, QWidget* parent = nullptr);
  QString Text() const;
  QToolButton* CloseButton() const { return close_; }

 signals:
  void closeClicked();

 private:
  QLabel* label_;
  QToolButton* close_ = nullptr;
};

}  // namespace restora
