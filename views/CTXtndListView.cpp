// SPDX-License-Identifier: GPL-3.0-or-later
// Contents list view and control.
#include "CTXtndListView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "CTXtndTreeView.h"
#include "CaptionBar.h"
#include "CheckBoxDelegate.h"
#include "FolderIndex.h"

namespace restora {

namespace {
constexpr int kColumnWidths[] = {200, 100, 220, 180, 60, 60, 60};
}

CTXtndListCtrl::CTXtndListCtrl(QWidget* parent) : QTableView(parent), delegate_(new CheckBoxDelegate(this)) {
  setItemDelegate(delegate_);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  SetLargeIcons(false);
}

void CTXtndListCtrl::SetLargeIcons(bool large) {
  const int size = large ? 32 : 16;
  setIconSize(QSize(size, size));
  verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), size) + 6);
}

QRect CTXtndListCtrl::CheckRect(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return delegate_->CheckRect(option, index);
}

void CTXtndListCtrl::mousePressEvent(QMouseEvent* event) {
  // Only a press on a check box does anything; the press is never passed on, so the mouse
  // neither selects nor moves the current row.
  event->accept();
  if (event->button() != Qt::LeftButton || model() == nullptr || model()->rowCount() == 0) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  const QModelIndex box = model()->index(index.row(), 0);
  if (CheckRect(box).contains(event->position().toPoint())) model()->setData(box, {}, Qt::CheckStateRole);
}

void CTXtndListCtrl::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void CTXtndListCtrl::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void CTXtndListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || model() == nullptr) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  if (CheckRect(model()->index(index.row(), 0)).contains(event->position().toPoint())) return;
  emit rowDoubleClicked(index.row());
}

void CTXtndListCtrl::paintEvent(QPaintEvent* event) {
  if (model() == nullptr || model()->rowCount() == 0) {
    QPainter(viewport()).fillRect(viewport()->rect(), QColor(73, 73, 85));
    return;
  }
  QTableView::paintEvent(event);
}

CTXtndListView::CTXtndListView(EngineState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      model_(new ContentsListModel(this)),
      caption_(new CaptionBar(QStringLiteral("Contents List"), false, this)),
      list_(new CTXtndListCtrl(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(list_, 1);
  list_->setModel(model_);
  for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
    list_->setColumnWidth(column, kColumnWidths[column]);
  }
  list_->horizontalHeader()->setStretchLastSection(true);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CTXtndListView::OnHeadingClicked);
  connect(list_, &CTXtndListCtrl::rowDoubleClicked, this, &CTXtndListView::OnRowDoubleClicked);
  connect(model_, &ContentsListModel::checkToggled, this, &CTXtndListView::OnCheckToggled);
}

void CTXtndListView::SetViewMode(int mode) {
  list_->SetLargeIcons(mode == 4);
  for (int column = 1; column < static_cast<int>(ListColumn::Count); ++column) list_->setColumnHidden(column, mode != 7);
  list_->setShowGrid(mode == 7);
  list_->horizontalHeader()->setVisible(mode == 7);
}

void CTXtndListView::SetTreeView(CTXtndTreeView* tree) { model_->SetChecks(&tree->Checks()); }

void CTXtndListView::Reset() {
  model_->Reset();
  list_->horizontalHeader()->setSortIndicatorShown(false);
}

void CTXtndListView::OnShowFolder(ScanNode* first) {
  model_->SetNtfsLayout(state_.NtfsLayout());
  model_->Show(first);
  // A new fill shows the list order again.
  list_->horizontalHeader()->setSortIndicatorShown(false);
  list_->scrollToTop();
}

void CTXtndListView::OnRefreshChecks(ScanNode*) {
  // Marks of every row may have changed (a folder above the shown one, or one of its rows):
  // repainting all rows reads them afresh.
  model_->ChecksChanged();
  list_->viewport()->update();
}

void CTXtndListView::OnHeadingClicked(int column) {
  if (model_->rowCount() == 0) return;
  const bool ascending = model_->SortByHeading(column);
  QHeaderView* header = list_->horizontalHeader();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  list_->viewport()->update();
}

void CTXtndListView::ShowFound(const ScanNode* node) {
  model_->SetFound(node);
  const int row = node != nullptr ? model_->RowOf(node) : -1;
  if (row >= 0) list_->scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtCenter);
  list_->viewport()->update();
}

void CTXtndListView::OnCheckToggled(ScanNode* node) {
  emit UM_CHILD_CHECK_CHANGED(node, model_->CheckSummary());
  emit UM_UPDATE_TOTALS(2);
}

void CTXtndListView::OnRowDoubleClicked(int row) {
  ScanNode* node = model_->NodeAt(row);
  if (!IsFolderLike(*node)) return;
  emit UM_OPEN_CHILD_FOLDER(node);
  OnShowFolder(node->firstChild);
}

void ConnectResultViews(CTXtndTreeView* tree, CTXtndListView* list) {
  list->SetTreeView(tree);
  QObject::connect(tree, &CTXtndTreeView::UM_SHOW_FOLDER, list, &CTXtndListView::OnShowFolder);
  QObject::connect(tree, &CTXtndTreeView::UM_REFRESH_CHECKS, list, &CTXtndListView::OnRefreshChecks);
  QObject::connect(list, &CTXtndListView::UM_OPEN_CHILD_FOLDER, tree, &CTXtndTreeView::OnOpenChildFolder);
  QObject::connect(list, &CTXtndListView::UM_CHILD_CHECK_CHANGED, tree, &CTXtndTreeView::OnChildCheckChanged);
  QObject::connect(tree, &CTXtndTreeView::treeReplaced, list, &CTXtndListView::Reset);
}

}  // namespace restora
