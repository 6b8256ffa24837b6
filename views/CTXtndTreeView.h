// SPDX-License-Identifier: GPL-3.0-or-later
// The folder tree: the left result view. A "Folder List" caption over a tree of the scan tree's
// folders with three-state check boxes. It decides which folder the contents list shows, keeps
// the check marks of the tree and computes the totals of the whole tree and of the selection.
#pragma once

#include <QTreeView>
#include <QWidget>

#include "CheckStates.h"
#include "EngineState.h"
#include "FolderIndex.h"
#include "FolderTreeModel.h"

namespace restora {

class CaptionBar;
class CheckBoxDelegate;

// The tree control: a click on a check box toggles it without selecting the item; a click on
// an item's image or label makes it the current folder.
class CTXtndTreeCtrl final : public QTreeView {
  Q_OBJECT
 public:
  explicit CTXtndTreeCtrl(QWidget* parent = nullptr);
  // The check box of index in viewport coordinates.
  QRect CheckRect(const QModelIndex& index) const;

 signals:
  void folderClicked(const QModelIndex& index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  CheckBoxDelegate* delegate_;
};

class CTXtndTreeView final : public QWidget {
  Q_OBJECT
 public:
  explicit CTXtndTreeView(EngineState& state, QWidget* parent = nullptr);

  CTXtndTreeCtrl* Control() const { return tree_; }
  FolderTreeModel* Model() const { return model_; }
  CheckStates& Checks() { return checks_; }
  CaptionBar* Caption() const { return caption_; }
  // The folder the contents list shows (the scan root for "Root"); null while empty.
  ScanNode* CurrentFolder() const { return current_; }
  const Selection& CurrentSelection() const { return selection_; }
  bool IsEmpty() const { return index_.Empty(); }
  bool HasItems() const { return !index_.Empty(); }
  QTreeView* Tree() const { return tree_; }
  // Whether Goto Parent Folder has somewhere to go.
  bool CurrentFolderHasParent() const { return current_ != nullptr && current_ != state_.scanRoot; }
  // The status-bar text of pane 1 (tree totals) or 2 (selection); empty for other panes.
  QString PaneText(int pane) const;
  size_t MemoryBytes() const { return index_.MemoryBytes() + checks_.MemoryBytes(); }

  // Empties the view and forgets every node. Must run before the engine frees or replaces the
  // tree (a new scan, a reopened scan, the engine's clean-up).
  void Reset();

 public slots:
  // Makes the current folder's parent current and shows its entries (Goto Parent Folder).
  // Returns false at the root or while empty.
  bool OnGotoParentFolder();
  // Builds the tree from the engine's scan root and the totals of the whole tree.
  void OnFillTree();
  // Makes folder, a subfolder shown in the list, the current folder and expands it.
  void OnOpenChildFolder(ScanNode* folder);
  // The list changed the check of node; summary is the list's check summary.
  void OnChildCheckChanged(ScanNode* node, int summary);
  // Selects and expands the folder holding a Find hit ("Root" for the scan root).
  void OnShowFoundFolder(ScanNode* folder);
  // Checks were changed in the nodes from outside the views (a save renamed nodes, a script
  // checked entries): repaints names and marks and recomputes the selection.
  void OnNodesChanged();

 signals:
  void UM_UPDATE_TOTALS(int pane);
  void UM_SHOW_FOLDER(ScanNode* first);
  void UM_REFRESH_CHECKS(ScanNode* folder);
  // The caption's close button: the frame hides the folder bar.
  void closeRequested();
  // The tree was refilled or emptied: every node pointer held elsewhere is stale.
  void treeReplaced();

 private:
  void MakeCurrent(const QModelIndex& index);
  void OnFolderClicked(const QModelIndex& index);
  void OnCheckToggled(ScanNode* node);
  void RecomputeSelection();

  EngineState& state_;
  FolderIndex index_;
  CheckStates checks_{index_};
  FolderTreeModel* model_;
  CaptionBar* caption_;
  CTXtndTreeCtrl* tree_;
  ScanNode* current_ = nullptr;
  Selection selection_;
};

}  // namespace restora
