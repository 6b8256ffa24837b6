// SPDX-License-Identifier: GPL-3.0-or-later
// Folder tree view and control.
#include "CTXtndTreeView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "CaptionBar.h"
#include "CheckBoxDelegate.h"
#include "TotalsText.h"

namespace restora {

CTXtndTreeCtrl::CTXtndTreeCtrl(QWidget* parent) : QTreeView(parent), delegate_(new CheckBoxDelegate(this)) {
  setItemDelegate(delegate_);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setRootIsDecorated(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setExpandsOnDoubleClick(true);
}

QRect CTXtndTreeCtrl::CheckRect(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return delegate_->CheckRect(option, index);
}

void CTXtndTreeCtrl::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid() && CheckRect(index).contains(event->position().toPoint())) {
    model()->setData(index, {}, Qt::CheckStateRole);
    event->accept();
    return;
  }
  QTreeView::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && index.isValid() && visualRect(index).contains(event->position().toPoint())) {
    emit folderClicked(index);
  }
}

void CTXtndTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && CheckRect(index).contains(event->position().toPoint())) {
    event->accept();
    return;
  }
  QTreeView::mouseDoubleClickEvent(event);
}

void CTXtndTreeCtrl::paintEvent(QPaintEvent* event) {
  if (model() == nullptr || model()->rowCount() == 0) {
    QPainter(viewport()).fillRect(viewport()->rect(), QColor(73, 73, 85));
    return;
  }
  QTreeView::paintEvent(event);
}

CTXtndTreeView::CTXtndTreeView(EngineState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      model_(new FolderTreeModel(index_, checks_, this)),
      caption_(new CaptionBar(QStringLiteral("Folder List"), true, this)),
      tree_(new CTXtndTreeCtrl(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(tree_, 1);
  tree_->setModel(model_);
  connect(caption_, &CaptionBar::closeClicked, this, &CTXtndTreeView::closeRequested);
  connect(tree_, &CTXtndTreeCtrl::folderClicked, this, &CTXtndTreeView::OnFolderClicked);
  connect(model_, &FolderTreeModel::checkToggled, this, &CTXtndTreeView::OnCheckToggled);
  connect(model_, &FolderTreeModel::marksChanged, tree_->viewport(), qOverload<>(&QWidget::update));
}

QString CTXtndTreeView::PaneText(int pane) const {
  if (pane == 1) return TotalsText("Total", state_.totalBytes, state_.fileCount, state_.folderCount);
  if (pane == 2) {
    return TotalsText("Selected", selection_.selectedBytes, selection_.selectedFiles, selection_.selectedFolders);
  }
  return {};
}

void CTXtndTreeView::Reset() {
  current_ = nullptr;
  model_->Reset();
  selection_ = {};
  emit treeReplaced();
  emit UM_SHOW_FOLDER(nullptr);
}

void CTXtndTreeView::OnFillTree() {
  current_ = nullptr;
  emit treeReplaced();
  model_->Fill(state_.scanRoot);
  const TreeTotals& totals = index_.Totals();
  state_.totalBytes = totals.totalBytes;
  state_.fileCount = totals.fileCount;
  state_.folderCount = totals.folderCount;
  if (state_.scanRoot != nullptr) {
    const QModelIndex root = model_->index(0, 0);
    tree_->expand(root);
    MakeCurrent(root);
    emit UM_SHOW_FOLDER(state_.scanRoot->firstChild);
  } else {
    emit UM_SHOW_FOLDER(nullptr);
  }
  RecomputeSelection();
  emit UM_UPDATE_TOTALS(1);
  emit UM_UPDATE_TOTALS(2);
}

void CTXtndTreeView::MakeCurrent(const QModelIndex& index) {
  current_ = FolderTreeModel::NodeOf(index);
  model_->SetCurrentFolder(current_);
  tree_->setCurrentIndex(index);
  for (QModelIndex up = index; up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->scrollTo(index);
}

void CTXtndTreeView::OnFolderClicked(const QModelIndex& index) {
  current_ = FolderTreeModel::NodeOf(index);
  model_->SetCurrentFolder(current_);
  emit UM_SHOW_FOLDER(current_ != nullptr ? current_->firstChild : nullptr);
}

bool CTXtndTreeView::OnGotoParentFolder() {
  if (current_ == nullptr || current_ == state_.scanRoot) return false;
  const QModelIndex up = model_->IndexOf(current_).parent();
  if (!up.isValid()) return false;
  MakeCurrent(up);
  emit UM_SHOW_FOLDER(current_->firstChild);
  return true;
}

void CTXtndTreeView::OnOpenChildFolder(ScanNode* folder) {
  const QModelIndex index = model_->IndexOf(folder);
  if (index.isValid()) MakeCurrent(index);
}

void CTXtndTreeView::OnChildCheckChanged(ScanNode*, int) {
  // The list has already changed the node and its subtree through the shared check states;
  // what is left is to show the folders' new marks and the new selection.
  model_->MarksChanged();
  RecomputeSelection();
  emit UM_UPDATE_TOTALS(2);
}

void CTXtndTreeView::OnShowFoundFolder(ScanNode* folder) {
  const QModelIndex index = model_->IndexOf(folder);
  if (index.isValid()) MakeCurrent(index);
}

void CTXtndTreeView::OnNodesChanged() {
  model_->MarksChanged();
  tree_->viewport()->update();
  RecomputeSelection();
  emit UM_REFRESH_CHECKS(state_.scanRoot);
  emit UM_UPDATE_TOTALS(2);
}

void CTXtndTreeView::OnCheckToggled(ScanNode* node) {
  RecomputeSelection();
  emit UM_REFRESH_CHECKS(node);
  emit UM_UPDATE_TOTALS(2);
}

void CTXtndTreeView::RecomputeSelection() {
  selection_ = index_.Empty() ? Selection{} : CheckStates::ComputeSelection(state_.scanRoot);
}

}  // namespace restora
