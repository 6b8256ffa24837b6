// SPDX-License-Identifier: GPL-3.0-or-later
// Plain result views: the folders of the scan tree on the left, a folder's entries on the right,
// both with check boxes that write into the nodes. The models hold pointers into the engine's
// tree, never copies; Reset drops them before the engine frees the nodes.
#pragma once

#include <QAbstractItemModel>
#include <QWidget>
#include <memory>
#include <vector>

#include "EngineState.h"

class QListView;
class QStackedWidget;
class QTreeView;

namespace restora {

// The folder items of a scan tree: "Root" for scanRoot, and one item per folder node below it.
class FolderTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  struct Item {
    ScanNode* node = nullptr;
    Item* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Item>> children;
  };

  // Rebuilds the items from root; fills the totals of the whole tree (files, their bytes, folders).
  void Fill(ScanNode* root, uint64_t* totalBytes, uint32_t* fileCount, uint32_t* folderCount);
  void Clear();
  ScanNode* NodeAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const ScanNode* node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& index) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override { (void)parent; return 1; }
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  void checksChanged(restora::ScanNode* node);

 private:
  void RefreshBelow(const QModelIndex& index);
  std::unique_ptr<Item> m_root;
};

// The entries of one folder: the sibling list that starts at a folder's first child.
class ContentsModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  void Show(ScanNode* first);
  void Refresh();
  ScanNode* NodeAt(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex&) const override { return {}; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  void checksChanged(restora::ScanNode* node);

 private:
  std::vector<ScanNode*> m_rows;
};

// The left pane.
class PlainFolderTree : public QWidget {
  Q_OBJECT

 public:
  explicit PlainFolderTree(EngineState& engine, QWidget* parent = nullptr);
  bool HasItems() const { return m_model.rowCount() > 0; }
  // The current folder's node (scanRoot for "Root"), or null when the tree is empty.
  ScanNode* CurrentFolder() const;
  bool CurrentFolderHasParent() const;
  QTreeView* Tree() const { return m_tree; }

 public slots:
  // Rebuilds the tree from scanRoot and the totals of the whole tree; shows the root's entries.
  void OnFillTree();
  // Drops every item; called before the engine frees the nodes.
  void Reset();
  // Makes folder (a child of the current folder) the current folder.
  void OnOpenChildFolder(restora::ScanNode* folder);
  // Makes the current folder's parent current and shows its entries.
  void OnGotoParentFolder();
  // Repaints the check boxes after a change made elsewhere.
  void OnRefreshChecks();

 signals:
  void umShowFolder(restora::ScanNode* first);
  void umUpdateTotals(int pane);
  void checksChanged();

 private:
  void MakeCurrent(const QModelIndex& index);

  EngineState& m_engine;
  FolderTreeModel m_model;
  QTreeView* m_tree = nullptr;
};

// The right pane, in one of the four list modes.
class PlainContentsList : public QWidget {
  Q_OBJECT

 public:
  explicit PlainContentsList(QWidget* parent = nullptr);
  // 4 large icons, 5 small icons, 6 list, 7 details.
  void SetViewMode(int mode);
  int RowCount() const { return m_model.rowCount(); }
  ContentsModel& Model() { return m_model; }

 public slots:
  void OnShowFolder(restora::ScanNode* first);
  void OnRefreshChecks();
  void Reset();

 signals:
  void umOpenChildFolder(restora::ScanNode* folder);
  void checksChanged();

 private:
  void OnActivated(const QModelIndex& index);

  ContentsModel m_model;
  QStackedWidget* m_stack = nullptr;
  QTreeView* m_details = nullptr;
  QListView* m_icons = nullptr;
};

}  // namespace restora
