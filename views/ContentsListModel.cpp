// SPDX-License-Identifier: GPL-3.0-or-later
// Rows, texts, colours and sorting of the contents list.
#include "ContentsListModel.h"

#include <QColor>
#include <algorithm>

#include "FolderIndex.h"
#include "NodeIcons.h"

namespace restora {

namespace {

enum class Compare { Text, Number, Date };

Compare ComparisonOf(ListColumn column) {
  switch (column) {
    case ListColumn::Name:
    case ListColumn::Attribute: return Compare::Text;
    case ListColumn::Modified:
    case ListColumn::Created: return Compare::Date;
    default: return Compare::Number;
  }
}

uint64_t NumberOf(const ScanNode& node, ListColumn column) {
  switch (column) {
    case ListColumn::Size: return IsFolderLike(node) ? 0 : node.size;
    case ListColumn::FileId: return node.id;
    case ListColumn::ParentId: return node.parentId;
    default: return 0;
  }
}

const char* const kHeadings[] = {"File Name", "Size in Bytes", "Modification Date", "Creation Date",
                                 "Attribute", "File ID", "Parent ID"};

}  // namespace

ContentsListModel::ContentsListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ContentsListModel::Show(ScanNode* first) {
  beginResetModel();
  rows_.clear();
  first_ = first;
  for (ScanNode* node = first; node != nullptr; node = node->next) rows_.push_back(node);
  if (rows_.capacity() > 2 * rows_.size() + 64) rows_.shrink_to_fit();
  endResetModel();
}

void ContentsListModel::Reset() {
  Show(nullptr);
  found_ = nullptr;
}

void ContentsListModel::ChecksChanged() {
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void ContentsListModel::SetFound(const ScanNode* node) {
  found_ = node;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

bool ContentsListModel::SortByHeading(int column) {
  if (rows_.empty() || column < 0 || column >= columnCount()) return sortAscending_;
  const ListColumn key = static_cast<ListColumn>(column);
  const Compare compare = ComparisonOf(key);
  const bool ascending = (column == sortColumn_ || compare == Compare::Text) ? !sortAscending_ : sortAscending_;
  const bool ntfs = ntfsLayout_;
  auto less = [&](const ScanNode* a, const ScanNode* b) {
    switch (compare) {
      case Compare::Text:
        return CellText(*a, key, ntfs).compare(CellText(*b, key, ntfs), Qt::CaseInsensitive) < 0;
      case Compare::Date:
        return DateKey(*a, key, ntfs) < DateKey(*b, key, ntfs);
      case Compare::Number:
        break;
    }
    return NumberOf(*a, key) < NumberOf(*b, key);
  };
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList persistent = persistentIndexList();
  std::vector<ScanNode*> persistentNodes;
  for (const QModelIndex& index : persistent) persistentNodes.push_back(NodeAt(index.row()));
  if (ascending) {
    std::stable_sort(rows_.begin(), rows_.end(), less);
  } else {
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ScanNode* a, const ScanNode* b) { return less(b, a); });
  }
  QModelIndexList moved;
  for (qsizetype i = 0; i < persistent.size(); ++i) moved.push_back(index(RowOf(persistentNodes[i]), persistent[i].column()));
  changePersistentIndexList(persistent, moved);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  sortColumn_ = column;
  sortAscending_ = ascending;
  return ascending;
}

int ContentsListModel::CheckSummary() const {
  const size_t unchecked = static_cast<size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const ScanNode* node) { return node->checked == 0; }));
  if (unchecked == 0) return 2;
  return unchecked == rows_.size() ? 1 : 3;
}

int ContentsListModel::RowOf(const ScanNode* node) const {
  const auto it = std::find(rows_.begin(), rows_.end(), node);
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

QModelIndex ContentsListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
  return createIndex(row, column, rows_[static_cast<size_t>(row)]);
}

int ContentsListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ContentsListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ListColumn::Count);
}

QVariant ContentsListModel::data(const QModelIndex& index, int role) const {
  const auto* node = static_cast<const ScanNode*>(index.internalPointer());
  if (node == nullptr) return {};
  const ListColumn column = static_cast<ListColumn>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return CellText(*node, column, ntfsLayout_);
    case Qt::DecorationRole:
      if (column != ListColumn::Name) return {};
      if (IsFolderLike(*node)) return NodeIcon((node->status & kStatusLive) ? NodeImage::LiveFolder : NodeImage::DeletedFolder);
      return NodeIcon((node->status & kStatusLive) ? NodeImage::LiveFile : NodeImage::DeletedFile);
    case Qt::CheckStateRole: {
      if (column != ListColumn::Name) return {};
      const CheckMark mark = checks_ != nullptr ? checks_->MarkOf(node) : CheckMark::Unchecked;
      if (mark == CheckMark::Partly) return Qt::PartiallyChecked;
      return mark == CheckMark::Checked ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter | (column == ListColumn::Name ? Qt::AlignLeft : Qt::AlignRight));
    case Qt::BackgroundRole:
      if (node == found_) return QColor(140, 140, 140);
      return index.row() % 2 == 1 ? QColor(Qt::white) : QColor(232, 232, 244);
    default:
      return {};
  }
}

QVariant ContentsListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignVCenter | (section == 0 ? Qt::AlignLeft : Qt::AlignRight));
  return {};
}

bool ContentsListModel::setData(const QModelIndex& index, const QVariant&, int role) {
  auto* node = static_cast<ScanNode*>(index.internalPointer());
  if (role != Qt::CheckStateRole || node == nullptr || index.column() != 0 || checks_ == nullptr) return false;
  checks_->Toggle(node);
  ChecksChanged();
  emit checkToggled(node);
  return true;
}

Qt::ItemFlags ContentsListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled;
  if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

}  // namespace restora
