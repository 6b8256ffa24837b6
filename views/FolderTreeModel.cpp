// SPDX-License-Identifier: GPL-3.0-or-later
// Rows and marks of the folder tree.
#include "FolderTreeModel.h"

#include "NodeIcons.h"

namespace restora {

FolderTreeModel::FolderTreeModel(FolderIndex& index, CheckStates& checks, QObject* parent)
    : QAbstractItemModel(parent), index_(index), checks_(checks) {}

void FolderTreeModel::Fill(ScanNode* root) {
  beginResetModel();
  index_.Build(root);
  checks_.Rebuild();
  current_ = root;
  endResetModel();
}

void FolderTreeModel::Reset() {
  beginResetModel();
  index_.Clear();
  checks_.Clear();
  current_ = nullptr;
  endResetModel();
}

void FolderTreeModel::SetCurrentFolder(const ScanNode* node) {
  const QModelIndex before = IndexOf(current_);
  current_ = node;
  const QModelIndex after = IndexOf(node);
  if (before.isValid()) emit dataChanged(before, before, {Qt::DecorationRole});
  if (after.isValid()) emit dataChanged(after, after, {Qt::DecorationRole});
}

void FolderTreeModel::MarksChanged() {
  if (index_.Empty()) return;
  // Marks may change anywhere in a subtree and along its ancestors; a view repaints what it
  // shows on marksChanged, which reads the marks afresh.
  const QModelIndex root = index(0, 0);
  emit dataChanged(root, root, {Qt::CheckStateRole});
  emit marksChanged();
}

QModelIndex FolderTreeModel::IndexOf(const ScanNode* node) const {
  const uint32_t entry = node == nullptr ? FolderIndex::kNone : index_.Find(node);
  if (entry == FolderIndex::kNone) return {};
  return createIndex(static_cast<int>(index_.Row(entry)), 0, index_.Node(entry));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0 || index_.Empty()) return {};
  if (!parent.isValid()) return row == 0 ? createIndex(0, 0, index_.Node(FolderIndex::kRoot)) : QModelIndex();
  const uint32_t entry = index_.Find(NodeOf(parent));
  if (entry == FolderIndex::kNone || static_cast<uint32_t>(row) >= index_.SubfolderCount(entry)) return {};
  return createIndex(row, 0, index_.Node(index_.Subfolder(entry, static_cast<uint32_t>(row))));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  const uint32_t entry = index_.Find(NodeOf(child));
  if (entry == FolderIndex::kNone || entry == FolderIndex::kRoot) return {};
  const uint32_t up = index_.Parent(entry);
  return createIndex(static_cast<int>(index_.Row(up)), 0, index_.Node(up));
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (index_.Empty()) return 0;
  if (!parent.isValid()) return 1;
  if (parent.column() != 0) return 0;
  const uint32_t entry = index_.Find(NodeOf(parent));
  return entry == FolderIndex::kNone ? 0 : static_cast<int>(index_.SubfolderCount(entry));
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  const ScanNode* node = NodeOf(index);
  if (node == nullptr) return {};
  const bool isRoot = index_.Node(FolderIndex::kRoot) == node;
  switch (role) {
    case Qt::DisplayRole:
      return isRoot ? QStringLiteral("Root")
                    : QString::fromUtf16(node->name.data(), static_cast<qsizetype>(node->name.size()));
    case Qt::DecorationRole: {
      const bool live = isRoot || (node->status & kStatusLive) != 0;
      const bool open = node == current_;
      return NodeIcon(live ? (open ? NodeImage::LiveFolderOpen : NodeImage::LiveFolder)
                           : (open ? NodeImage::DeletedFolderOpen : NodeImage::DeletedFolder));
    }
    case Qt::CheckStateRole:
      switch (checks_.MarkOf(node)) {
        case CheckMark::Checked: return Qt::Checked;
        case CheckMark::Partly: return Qt::PartiallyChecked;
        case CheckMark::Unchecked: return Qt::Unchecked;
      }
      return {};
    default:
      return {};
  }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant&, int role) {
  ScanNode* node = NodeOf(index);
  if (role != Qt::CheckStateRole || node == nullptr) return false;
  // Any change of a check box is a click: an unchecked folder becomes checked, a checked or
  // partly checked one unchecked, with its whole subtree.
  checks_.Toggle(node);
  MarksChanged();
  emit checkToggled(node);
  return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

}  // namespace restora
