// SPDX-License-Identifier: GPL-3.0-or-later
// Where an item view draws an item's check box, so a click can be judged the way the style
// draws it.
#pragma once

#include <QStyledItemDelegate>

namespace restora {

class CheckBoxDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  // The check box of index inside option.rect (option.widget set), empty when it has none.
  QRect CheckRect(QStyleOptionViewItem option, const QModelIndex& index) const;
};

}  // namespace restora
