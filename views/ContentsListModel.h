// SPDX-License-Identifier: GPL-3.0-or-later
// The contents list's model: one row per node of one sibling list, in list order until sorted.
// Each index carries its ScanNode in internalPointer; the only memory per row is that pointer.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "CheckStates.h"
#include "NodeText.h"

namespace restora {

class ContentsListModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ContentsListModel(QObject* parent = nullptr);

  // The checks the rows show and change, and the layout their fields are read in.
  void SetChecks(CheckStates* checks) { checks_ = checks; }
  void SetNtfsLayout(bool ntfsLayout) { ntfsLayout_ = ntfsLayout; }

  // Shows first and its following siblings in list order (null: no rows).
  void Show(ScanNode* first);
  // Forgets every node; to be called before the engine frees them.
  void Reset();
  // Repaints the check boxes after checks changed elsewhere.
  void ChecksChanged();
  // The row painted as the last Find hit (null for none).
  void SetFound(const ScanNode* node);
  const ScanNode* Found() const { return found_; }

  // Sorts by column as a click on its heading does: the same column again reverses the
  // direction; another column keeps the direction for numbers and dates and reverses it for
  // texts. Returns true when the new order is ascending.
  bool SortByHeading(int column);
  int SortColumn() const { return sortColumn_; }

  // Summary of the rows' checks: 1 none checked, 2 all checked (also for no rows), 3 some.
  int CheckSummary() const;
  int RowOf(const ScanNode* node) const;
  ScanNode* NodeAt(int row) const { return rows_[static_cast<size_t>(row)]; }
  const ScanNode* First() const { return first_; }
  size_t MemoryBytes() const { return rows_.capacity() * sizeof(ScanNode*); }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // A click changed node's check (node and subtree already updated).
  void checkToggled(ScanNode* node);

 private:
  std::vector<ScanNode*> rows_;
  ScanNode* first_ = nullptr;
  CheckStates* checks_ = nullptr;
  const ScanNode* found_ = nullptr;
  bool ntfsLayout_ = false;
  int sortColumn_ = -1;
  bool sortAscending_ = false;
};

}  // namespace restora
