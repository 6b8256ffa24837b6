// SPDX-License-Identifier: GPL-3.0-or-later
// Vector-drawn images, so no artwork files are needed.
#include "NodeIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace restora {

namespace {

QPixmap Draw(NodeImage image, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 16.0, size / 16.0);
  const bool deleted = image == NodeImage::DeletedFolder || image == NodeImage::DeletedFolderOpen ||
                       image == NodeImage::DeletedFile;
  const bool folder = image != NodeImage::LiveFile && image != NodeImage::DeletedFile;
  const bool open = image == NodeImage::LiveFolderOpen || image == NodeImage::DeletedFolderOpen;
  painter.setPen(QPen(QColor(70, 70, 70), 0.8));
  if (folder) {
    painter.setBrush(deleted ? QColor(190, 190, 190) : QColor(240, 200, 80));
    painter.drawRect(QRectF(1.5, 4.5, 13, 9));
    painter.drawRect(QRectF(1.5, 3, 5, 1.5));
    if (open) {
      painter.setBrush(deleted ? QColor(220, 220, 220) : QColor(255, 228, 140));
      QPainterPath flap;
      flap.moveTo(3.5, 7.5);
      flap.lineTo(15.5, 7.5);
      flap.lineTo(13.5, 13.5);
      flap.lineTo(1.5, 13.5);
      flap.closeSubpath();
      painter.drawPath(flap);
    }
  } else {
    painter.setBrush(deleted ? QColor(215, 215, 215) : Qt::white);
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(12.5, 4);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    painter.drawPath(page);
    painter.setPen(QPen(QColor(120, 140, 200), 0.8));
    for (double y = 6; y < 13; y += 2) painter.drawLine(QPointF(5, y), QPointF(11, y));
  }
  if (deleted) {
    painter.setPen(QPen(QColor(200, 30, 30), 1.6));
    painter.drawLine(QPointF(9, 9), QPointF(15, 15));
    painter.drawLine(QPointF(15, 9), QPointF(9, 15));
  }
  return pixmap;
}

}  // namespace

const QIcon& NodeIcon(NodeImage image) {
  static std::array<QIcon, 6> icons;
  QIcon& icon = icons[static_cast<size_t>(image)];
  if (icon.isNull()) {
    icon.addPixmap(Draw(image, 16));
    icon.addPixmap(Draw(image, 32));
  }
  return icon;
}

}  // namespace restora
