// SPDX-License-Identifier: GPL-3.0-or-later
// Check box geometry from the style.
#include "CheckBoxDelegate.h"

#include <QApplication>
#include <QStyle>

namespace restora {

QRect CheckBoxDelegate::CheckRect(QStyleOptionViewItem option, const QModelIndex& index) const {
  initStyleOption(&option, index);
  if (!option.features.testFlag(QStyleOptionViewItem::HasCheckIndicator)) return {};
  const QWidget* widget = option.widget;
  const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
}

}  // namespace restora
