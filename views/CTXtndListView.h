// SPDX-License-Identifier: GPL-3.0-or-later
// The contents list: the right result view. A "Contents List" caption over the entries of one
// folder of the scan tree, seven columns, a check box per row. The mouse never selects rows: a
// click toggles a check box or does nothing, a double-click on a folder row opens it.
#pragma once

#include <QTableView>
#include <QWidget>

#include "ContentsListModel.h"
#include "EngineState.h"

namespace restora {

class CaptionBar;
class CheckBoxDelegate;
class CTXtndTreeView;

class CTXtndListCtrl final : public QTableView {
  Q_OBJECT
 public:
  explicit CTXtndListCtrl(QWidget* parent = nullptr);
  QRect CheckRect(const QModelIndex& index) const;
  // Shows large (32 × 32) or small (16 × 16) images.
  void SetLargeIcons(bool large);

 signals:
  void rowDoubleClicked(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  CheckBoxDelegate* delegate_;
};

class CTXtndListView final : public QWidget {
  Q_OBJECT
 public:
  explicit CTXtndListView(EngineState& state, QWidget* parent = nullptr);

  CTXtndListCtrl* Control() const { return list_; }
  ContentsListModel* Model() const { return model_; }
  CaptionBar* Caption() const { return caption_; }
  // Shares the tree's check states; connects the messages between the two views.
  void SetTreeView(CTXtndTreeView* tree);

  // Empties the list and forgets every node (before the engine frees them).
  void Reset();
  // Paints node's row as the Find hit and scrolls it into view (null clears the mark).
  void ShowFound(const ScanNode* node);
  size_t MemoryBytes() const { return model_->MemoryBytes(); }
  int RowCount() const { return model_->rowCount(); }
  // The View menu's list modes: 4 large icons, 5 small icons, 6 list (the names alone, with
  // small icons), 7 details (every column).
  void SetViewMode(int mode);

 public slots:
  // Lists first and its following siblings (null: an empty list), in list order.
  void OnShowFolder(ScanNode* first);
  // Repaints the rows' check boxes after a folder's check changed in the tree.
  void OnRefreshChecks(ScanNode* folder);
  // Sorts by a column as a click on its heading does.
  void OnHeadingClicked(int column);

 signals:
  void UM_OPEN_CHILD_FOLDER(ScanNode* folder);
  void UM_CHILD_CHECK_CHANGED(ScanNode* node, int summary);
  void UM_UPDATE_TOTALS(int pane);

 private:
  void OnCheckToggled(ScanNode* node);
  void OnRowDoubleClicked(int row);

  EngineState& state_;
  ContentsListModel* model_;
  CaptionBar* caption_;
  CTXtndListCtrl* list_;
};

// Connects a tree view and a list view as the main frame's two panes.
void ConnectResultViews(CTXtndTreeView* tree, CTXtndListView* list);

}  // namespace restora
