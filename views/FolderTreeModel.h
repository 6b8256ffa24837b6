// SPDX-License-Identifier: GPL-3.0-or-later
// The folder tree's model: one "Root" row standing for the scan root, below it the folders of
// the scan tree. Each index carries its ScanNode in internalPointer; the rows come from the
// FolderIndex, the marks from CheckStates.
#pragma once

#include <QAbstractItemModel>

#include "CheckStates.h"
#include "FolderIndex.h"

namespace restora {

class FolderTreeModel final : public QAbstractItemModel {
  Q_OBJECT
 public:
  FolderTreeModel(FolderIndex& index, CheckStates& checks, QObject* parent = nullptr);

  // Rebuilds the index and the marks over root (null empties the model).
  void Fill(ScanNode* root);
  // Forgets every node; to be called before the engine frees them.
  void Reset();
  // The folder shown in the contents list, drawn with the open image.
  void SetCurrentFolder(const ScanNode* node);
  // Tells the views that marks changed.
  void MarksChanged();

  QModelIndex IndexOf(const ScanNode* node) const;
  static ScanNode* NodeOf(const QModelIndex& index) { return static_cast<ScanNode*>(index.internalPointer()); }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // A click changed node's check mark (node and subtree already updated).
  void checkToggled(ScanNode* node);
  // Marks changed somewhere in the tree.
  void marksChanged();

 private:
  FolderIndex& index_;
  CheckStates& checks_;
  const ScanNode* current_ = nullptr;
};

}  // namespace restora
