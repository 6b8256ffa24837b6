// SPDX-License-Identifier: GPL-3.0-or-later
// The turning wheel of the progress dialog.
#include "BusyIndicator.h"

#include <QPainter>
#include <QTimerEvent>

namespace restora {

namespace {
constexpr int kSpokes = 12;
}

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) { setFixedSize(30, 30); }

void BusyIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(width() / 2.0, height() / 2.0);
  const QColor base = palette().color(QPalette::Highlight);
  for (int i = 0; i < kSpokes; ++i) {
    QColor colour = base;
    colour.setAlphaF(0.15 + 0.85 * ((i + kSpokes - m_step) % kSpokes) / double(kSpokes));
    painter.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, -6), QPointF(0, -12));
    painter.rotate(360.0 / kSpokes);
  }
}

void BusyIndicator::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_timerId) return QWidget::timerEvent(event);
  m_step = (m_step + 1) % kSpokes;
  update();
}

void BusyIndicator::showEvent(QShowEvent*) {
  if (m_timerId == 0) m_timerId = startTimer(80);
}

void BusyIndicator::hideEvent(QHideEvent*) {
  if (m_timerId != 0) killTimer(m_timerId);
  m_timerId = 0;
}

}  // namespace restora
