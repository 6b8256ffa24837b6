// SPDX-License-Identifier: GPL-3.0-or-later
// A small turning wheel that shows a job is alive.
#pragma once

#include <QWidget>

namespace restora {

class BusyIndicator : public QWidget {
  Q_OBJECT

 public:
  explicit BusyIndicator(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {30, 30}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  int m_step = 0;
  int m_timerId = 0;
};

}  // namespace restora
