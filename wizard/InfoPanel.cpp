// SPDX-License-Identifier: GPL-3.0-or-later
// The information panel of the wizard pages.
#include "InfoPanel.h"

namespace restora {

InfoPanel::InfoPanel(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setWordWrap(true);
}

void InfoPanel::setLines(const QStringList& lines) {
  m_lines = lines;
  clear();
  for (const QString& line : lines) {
    auto* item = new QListWidgetItem(this);
    if (line.startsWith(QLatin1String("HDR"))) {
      item->setText(line.mid(3));
      QFont bold = font();
      bold.setBold(true);
      bold.setPointSizeF(bold.pointSizeF() * 1.15);
      item->setFont(bold);
    } else {
      item->setText(line);
    }
  }
}

}  // namespace restora
