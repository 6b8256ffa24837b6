// SPDX-License-Identifier: GPL-3.0-or-later
// Models and widgets of the plain result views.
#include "PlainScanViews.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

#include "ScanTree.h"
#include "ShellIcons.h"

namespace restora {

namespace {

QString NodeName(const ScanNode& node) {
  return QString::fromUtf16(node.name.data(), static_cast<qsizetype>(node.name.size()));
}

bool IsLive(const ScanNode& node) { return (node.status & kStatusLive) != 0; }

QIcon NodeIcon(const ScanNode& node) {
  if (node.IsFolderStatus()) return ShellIcon(IsLive(node) ? ShellIconId::Folder : ShellIconId::DeletedFolder);
  return ShellIcon(IsLive(node) ? ShellIconId::File : ShellIconId::DeletedFile);
}

void SetNodeChecked(ScanNode* node, bool checked) {
  node->checked = checked ? 1 : 0;
  SetChecked(node->firstChild, node->checked);
}

}  // namespace

// --- FolderTreeModel ---

void FolderTreeModel::Fill(ScanNode* root, uint64_t* totalBytes, uint32_t* fileCount, uint32_t* folderCount) {
  beginResetModel();
  m_root.reset();
  *totalBytes = 0;
  *fileCount = 0;
  *folderCount = 0;
  if (root != nullptr) {
    m_root = std::make_unique<Item>();
    auto rootItem = std::make_unique<Item>();
    rootItem->node = root;
    rootItem->parent = m_root.get();
    // Walks the tree without recursion: each pending list with the item its folders go under.
    std::vector<std::pair<ScanNode*, Item*>> pending{{root->firstChild, rootItem.get()}};
    m_root->children.push_back(std::move(rootItem));
    while (!pending.empty()) {
      auto [node, parentItem] = pending.back();
      pending.pop_back();
      for (; node != nullptr; node = node->next) {
        if (!node->IsFolderStatus()) {
          ++*fileCount;
          *totalBytes += node->size;
          continue;
        }
        ++*folderCount;
        auto item = std::make_unique<Item>();
        item->node = node;
        item->parent = parentItem;
        item->row = static_cast<int>(parentItem->children.size());
        if (node->firstChild != nullptr) pending.emplace_back(node->firstChild, item.get());
        parentItem->children.push_back(std::move(item));
      }
    }
  }
  endResetModel();
}

void FolderTreeModel::Clear() {
  beginResetModel();
  m_root.reset();
  endResetModel();
}

ScanNode* FolderTreeModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Item*>(index.internalPointer())->node : nullptr;
}

QModelIndex FolderTreeModel::IndexOf(const ScanNode* node) const {
  if (!m_root) return {};
  std::vector<const Item*> pending{m_root->children.front().get()};
  while (!pending.empty()) {
    const Item* item = pending.back();
    pending.pop_back();
    if (item->node == node) return createIndex(item->row, 0, const_cast<Item*>(item));
    for (const auto& child : item->children) pending.push_back(child.get());
  }
  return {};
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!m_root || column != 0) return {};
  const Item* owner = parent.isValid() ? static_cast<Item*>(parent.internalPointer()) : m_root.get();
  if (row < 0 || row >= static_cast<int>(owner->children.size())) return {};
  return createIndex(row, 0, owner->children[static_cast<size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  const Item* owner = static_cast<Item*>(index.internalPointer())->parent;
  if (owner == nullptr || owner == m_root.get()) return {};
  return createIndex(owner->row, 0, const_cast<Item*>(owner));
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!m_root) return 0;
  if (!parent.isValid()) return static_cast<int>(m_root->children.size());
  return static_cast<int>(static_cast<Item*>(parent.internalPointer())->children.size());
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  const Item* item = index.isValid() ? static_cast<Item*>(index.internalPointer()) : nullptr;
  if (item == nullptr) return {};
  const bool isRoot = item->parent == m_root.get();
  switch (role) {
    case Qt::DisplayRole: return isRoot ? QStringLiteral("Root") : NodeName(*item->node);
    case Qt::DecorationRole: return isRoot ? ShellIcon(ShellIconId::Folder) : NodeIcon(*item->node);
    case Qt::CheckStateRole: return item->node->checked != 0 ? Qt::Checked : Qt::Unchecked;
    default: return {};
  }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole) return false;
  ScanNode* node = NodeAt(index);
  SetNodeChecked(node, value.toInt() == Qt::Checked);
  RefreshBelow(index);
  emit checksChanged(node);
  return true;
}

void FolderTreeModel::RefreshBelow(const QModelIndex& index) {
  std::vector<QModelIndex> pending{index};
  while (!pending.empty()) {
    const QModelIndex current = pending.back();
    pending.pop_back();
    emit dataChanged(current, current, {Qt::CheckStateRole});
    for (int row = 0; row < rowCount(current); ++row) pending.push_back(this->index(row, 0, current));
  }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

// --- ContentsModel ---

namespace {
enum ContentsColumn { kNameColumn, kSizeColumn, kKindColumn, kStateColumn, kColumnCount };
}

void ContentsModel::Show(ScanNode* first) {
  beginResetModel();
  m_rows.clear();
  for (ScanNode* node = first; node != nullptr; node = node->next) m_rows.push_back(node);
  endResetModel();
}

void ContentsModel::Refresh() {
  if (!m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

ScanNode* ContentsModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? m_rows[static_cast<size_t>(index.row())] : nullptr;
}

QModelIndex ContentsModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) return {};
  return createIndex(row, column);
}

int ContentsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ContentsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
  const ScanNode* node = NodeAt(index);
  if (node == nullptr) return {};
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case kNameColumn: return NodeName(*node);
      case kSizeColumn: return node->IsFolderStatus() ? QString() : QLocale::c().toString(qulonglong(node->size));
      case kKindColumn: return node->IsFolderStatus() ? QStringLiteral("Folder") : QStringLiteral("File");
      case kStateColumn: return IsLive(*node) ? QStringLiteral("Existing") : QStringLiteral("Deleted");
      default: return {};
    }
  }
  if (index.column() != kNameColumn) {
    if (role == Qt::TextAlignmentRole && index.column() == kSizeColumn) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  if (role == Qt::DecorationRole) return NodeIcon(*node);
  if (role == Qt::CheckStateRole) return node->checked != 0 ? Qt::Checked : Qt::Unchecked;
  return {};
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kNameColumn: return QStringLiteral("Name");
    case kSizeColumn: return QStringLiteral("Size");
    case kKindColumn: return QStringLiteral("Type");
    case kStateColumn: return QStringLiteral("State");
    default: return {};
  }
}

bool ContentsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  ScanNode* node = NodeAt(index);
  if (node == nullptr || role != Qt::CheckStateRole) return false;
  SetNodeChecked(node, value.toInt() == Qt::Checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit checksChanged(node);
  return true;
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kNameColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

// --- PlainFolderTree ---

PlainFolderTree::PlainFolderTree(EngineState& engine, QWidget* parent) : QWidget(parent), m_engine(engine) {
  setObjectName(QStringLiteral("FolderTree"));
  m_tree = new QTreeView(this);
  m_tree->setModel(&m_model);
  m_tree->setHeaderHidden(true);
  m_tree->setUniformRowHeights(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_tree);
  connect(m_tree, &QTreeView::clicked, this, &PlainFolderTree::MakeCurrent);
  connect(&m_model, &FolderTreeModel::checksChanged, this, [this] { emit checksChanged(); });
}

ScanNode* PlainFolderTree::CurrentFolder() const { return m_model.NodeAt(m_tree->currentIndex()); }

bool PlainFolderTree::CurrentFolderHasParent() const { return m_tree->currentIndex().parent().isValid(); }

void PlainFolderTree::OnFillTree() {
  m_model.Fill(m_engine.scanRoot, &m_engine.totalBytes, &m_engine.fileCount, &m_engine.folderCount);
  if (HasItems()) {
    const QModelIndex root = m_model.index(0, 0);
    m_tree->expand(root);
    MakeCurrent(root);
  } else {
    emit umShowFolder(nullptr);
  }
  emit umUpdateTotals(1);
}

void PlainFolderTree::Reset() {
  m_model.Clear();
  emit umShowFolder(nullptr);
}

void PlainFolderTree::MakeCurrent(const QModelIndex& index) {
  if (!index.isValid()) return;
  m_tree->setCurrentIndex(index);
  ScanNode* folder = m_model.NodeAt(index);
  emit umShowFolder(folder != nullptr ? folder->firstChild : nullptr);
}

void PlainFolderTree::OnOpenChildFolder(ScanNode* folder) {
  const QModelIndex index = m_model.IndexOf(folder);
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) m_tree->expand(up);
  MakeCurrent(index);
}

void PlainFolderTree::OnGotoParentFolder() {
  const QModelIndex parent = m_tree->currentIndex().parent();
  if (parent.isValid()) MakeCurrent(parent);
}

void PlainFolderTree::OnRefreshChecks() { m_tree->viewport()->update(); }

// --- PlainContentsList ---

PlainContentsList::PlainContentsList(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ContentsList"));
  m_details = new QTreeView(this);
  m_details->setModel(&m_model);
  m_details->setRootIsDecorated(false);
  m_details->setUniformRowHeights(true);
  m_details->header()->resizeSection(kNameColumn, 240);
  m_icons = new QListView(this);
  m_icons->setModel(&m_model);
  m_stack = new QStackedWidget(this);
  m_stack->addWidget(m_details);
  m_stack->addWidget(m_icons);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_stack);
  connect(m_details, &QTreeView::doubleClicked, this, &PlainContentsList::OnActivated);
  connect(m_icons, &QListView::doubleClicked, this, &PlainContentsList::OnActivated);
  connect(&m_model, &ContentsModel::checksChanged, this, [this] { emit checksChanged(); });
}

void PlainContentsList::SetViewMode(int mode) {
  if (mode == 7) {
    m_stack->setCurrentWidget(m_details);
    return;
  }
  m_stack->setCurrentWidget(m_icons);
  m_icons->setViewMode(mode == 4 ? QListView::IconMode : QListView::ListMode);
  m_icons->setFlow(mode == 5 ? QListView::LeftToRight : QListView::TopToBottom);
  m_icons->setWrapping(true);
  m_icons->setResizeMode(QListView::Adjust);
  m_icons->setIconSize(mode == 4 ? QSize(32, 32) : QSize(16, 16));
  m_icons->setGridSize(mode == 4 ? QSize(96, 64) : QSize());
}

void PlainContentsList::OnShowFolder(ScanNode* first) { m_model.Show(first); }

void PlainContentsList::OnRefreshChecks() { m_model.Refresh(); }

void PlainContentsList::Reset() { m_model.Show(nullptr); }

void PlainContentsList::OnActivated(const QModelIndex& index) {
  ScanNode* node = m_model.NodeAt(index);
  if (node != nullptr && node->IsFolderStatus()) {
    emit umOpenChildFolder(node);
  }
}

}  // namespace restora
