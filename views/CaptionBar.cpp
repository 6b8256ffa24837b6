// SPDX-License-Identifier: GPL-3.0-or-later
// Caption bar of a result view.
#include "CaptionBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace restora {

CaptionBar::CaptionBar(const QString& text, bool closeButton, QWidget* parent)
    : QWidget(parent), label_(new QLabel(text, this)) {
  setFixedHeight(25);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(0x4b, 0x6e, 0xaf));
  palette.setColor(QPalette::WindowText, Qt::white);
  setPalette(palette);
  QFont font = label_->font();
  font.setBold(true);
  label_->setFont(font);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 0, 2, 0);
  layout->addWidget(label_, 1);
  if (closeButton) {
    close_ = new QToolButton(this);
    close_->setAutoRaise(true);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setToolTip(tr("Close"));
    layout->addWidget(close_);
    connect(close_, &QToolButton::clicked, this, &CaptionBar::closeClicked);
  }
}

QString CaptionBar::Text() const { return label_->text(); }

}  // namespace restora
