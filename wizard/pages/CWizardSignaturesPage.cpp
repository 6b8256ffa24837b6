// SPDX-License-Identifier: GPL-3.0-or-later
#include "CWizardSignaturesPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWizard>

#include <algorithm>

#include "SignatureFile.h"
#include "StartupCheckBox.h"
#include "WizardPageHost.h"

namespace restora {

namespace {

const QString kAll = QStringLiteral("All");
constexpr int kRecordRole = Qt::UserRole;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool AnyTypeSelected(const std::vector<SignatureRecord>& types) {
  return std::any_of(types.begin(), types.end(), [](const SignatureRecord& r) { return r.selected == 1; });
}

}  // namespace

CWizardSignaturesPage::CWizardSignaturesPage(WizardPageHost& host, QWidget* parent)
    : QWizardPage(parent), m_host(host) {
  m_caption = new QLabel(QStringLiteral("Please select file formats to be searched"), this);
  QFont captionFont = m_caption->font();
  captionFont.setBold(true);
  m_caption->setFont(captionFont);

  auto* filterTitle = new QLabel(QStringLiteral("File Selection Filter"), this);
  filterTitle->setFont(QFont(QStringLiteral("Verdana"), filterTitle->font().pointSize()));
  m_categoryBox = new QComboBox(this);
  connect(m_categoryBox, &QComboBox::currentIndexChanged, this, [this] { showCategory(); });

  m_typeList = new QTableWidget(0, 3, this);
  m_typeList->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Extension"), QStringLiteral("Category")});
  m_typeList->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_typeList->horizontalHeaderItem(1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_typeList->horizontalHeaderItem(2)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_typeList->setColumnWidth(0, 100);
  m_typeList->setColumnWidth(1, 40);
  m_typeList->setColumnWidth(2, 80);
  m_typeList->verticalHeader()->hide();
  m_typeList->setShowGrid(true);
  m_typeList->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_typeList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_typeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_typeList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_typeList->viewport()->installEventFilter(this);

  auto* selectAll = new QPushButton(QStringLiteral("&Select All"), this);
  auto* deselectAll = new QPushButton(QStringLiteral("&Deselect All"), this);
  connect(selectAll, &QPushButton::clicked, this, &CWizardSignaturesPage::onSelectAll);
  connect(deselectAll, &QPushButton::clicked, this, &CWizardSignaturesPage::onDeselectAll);

  m_sizeBox = new QLineEdit(QString::fromStdU16String(std::u16string(kDefaultMaxSizeText)), this);
  m_sizeBox->setMaximumWidth(80);
  m_cutBox = new QCheckBox(QStringLiteral("Cut found files at the end of their format"), this);
  m_cutBox->setChecked(true);
  m_startupBox = new StartupCheckBox(host.runWizardOnStartup(), this);

  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(filterTitle);
  filterRow->addWidget(m_categoryBox, 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(selectAll);
  buttonRow->addWidget(deselectAll);
  buttonRow->addStretch(1);
  buttonRow->addWidget(new QLabel(QStringLiteral("Maximum file size:"), this));
  buttonRow->addWidget(m_sizeBox);
  buttonRow->addWidget(new QLabel(QStringLiteral("KB"), this));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_caption);
  layout->addLayout(filterRow);
  layout->addWidget(m_typeList, 1);
  layout->addLayout(buttonRow);
  layout->addWidget(m_cutBox);
  layout->addWidget(m_startupBox);
}

bool CWizardSignaturesPage::cutAtFormatEnd() const { return m_cutBox->isChecked(); }

void CWizardSignaturesPage::initializePage() {
  if (wizard() != nullptr) wizard()->setWindowTitle(QStringLiteral("Ferrolin Quillion Wizard"));
  m_startupBox->refresh();
  // The drive page's Next may have loaded the list again: show what the records hold now.
  fillCategories();
  showCategory();
  setFinishEnabled(false);
}

bool CWizardSignaturesPage::isComplete() const { return m_finishEnabled; }

bool CWizardSignaturesPage::validatePage() {
  if (!m_finishEnabled) return false;
  uint32_t count = 0;
  m_host.engine().signatureList = BuildSelectedList(m_host.allFileTypes(), m_sizeBox->text().toStdU16String(), count);
  m_host.engine().cutAtFormatEnd = cutAtFormatEnd();
  WizardJobLog& log = m_host.logEntry();
  log.state = 0;
  log.description = QStringLiteral("%1 file type(s) to search").arg(count);
  m_host.sendLogEntry();
  return true;
}

void CWizardSignaturesPage::fillCategories() {
  const QString shown = m_categoryBox->currentText();
  QStringList categories{kAll};
  for (const SignatureRecord& record : m_host.allFileTypes()) {
    const QString category = Text(record.CategoryText());
    if (!category.isEmpty() && !categories.contains(category)) categories << category;
  }
  std::sort(categories.begin(), categories.end(),
            [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
  const QSignalBlocker quiet(m_categoryBox);
  m_categoryBox->clear();
  m_categoryBox->addItems(categories);
  const int keep = m_categoryBox->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
  m_categoryBox->setCurrentIndex(keep >= 0 ? keep : m_categoryBox->findText(kAll, Qt::MatchExactly));
}

void CWizardSignaturesPage::showCategory() {
  const QString filter = m_categoryBox->currentText();
  const std::vector<SignatureRecord>& types = m_host.allFileTypes();
  m_typeList->setRowCount(0);
  for (size_t index = 0; index < types.size(); ++index) {
    const SignatureRecord& record = types[index];
    const QString category = Text(record.CategoryText());
    if (filter != kAll && category != filter) continue;
    const int row = m_typeList->rowCount();
    m_typeList->insertRow(row);
    auto* name = new QTableWidgetItem(Text(record.TypeNameText()));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    name->setData(Qt::CheckStateRole, record.selected == 1 ? Qt::Checked : Qt::Unchecked);
    name->setData(kRecordRole, static_cast<qulonglong>(index));
    auto* extension = new QTableWidgetItem(Text(record.ExtensionText()));
    extension->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    extension->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* categoryItem = new QTableWidgetItem(category);
    categoryItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    categoryItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_typeList->setItem(row, 0, name);
    m_typeList->setItem(row, 1, extension);
    m_typeList->setItem(row, 2, categoryItem);
  }
}

void CWizardSignaturesPage::setAllShown(uint8_t selected) {
  std::vector<SignatureRecord>& types = m_host.allFileTypes();
  for (int row = 0; row < m_typeList->rowCount(); ++row) {
    QTableWidgetItem* name = m_typeList->item(row, 0);
    types.at(name->data(kRecordRole).toULongLong()).selected = selected;
    name->setData(Qt::CheckStateRole, selected == 1 ? Qt::Checked : Qt::Unchecked);
  }
  setFinishEnabled(AnyTypeSelected(types));
}

void CWizardSignaturesPage::onSelectAll() { setAllShown(1); }

void CWizardSignaturesPage::onDeselectAll() { setAllShown(0); }

bool CWizardSignaturesPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_typeList->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) onListClick(mouse->position().toPoint());
  }
  return QWizardPage::eventFilter(watched, event);
}

// Only a click on a row's check box changes its tick; a click on the name or elsewhere in the
// row only selects the row.
void CWizardSignaturesPage::onListClick(const QPoint& position) {
  const QModelIndex index = m_typeList->indexAt(position);
  if (!index.isValid() || index.column() != 0) return;
  QStyleOptionViewItem option;
  option.initFrom(m_typeList->viewport());
  option.rect = m_typeList->visualRect(index);
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  const QRect box = m_typeList->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, m_typeList);
  if (position.x() < option.rect.left() || position.x() > box.right()) return;

  QTableWidgetItem* name = m_typeList->item(index.row(), 0);
  const bool tick = name->checkState() != Qt::Checked;
  name->setData(Qt::CheckStateRole, tick ? Qt::Checked : Qt::Unchecked);
  std::vector<SignatureRecord>& types = m_host.allFileTypes();
  types.at(name->data(kRecordRole).toULongLong()).selected = tick ? 1 : 0;
  setFinishEnabled(AnyTypeSelected(types));
}

void CWizardSignaturesPage::setFinishEnabled(bool enabled) {
  m_finishEnabled = enabled;
  emit completeChanged();
}

void CWizardSignaturesPage::resizeEvent(QResizeEvent* event) {
  QWizardPage::resizeEvent(event);
  fitColumns();
}

// The three columns share the list's width as 100 : 40 : 80.
void CWizardSignaturesPage::fitColumns() {
  const int width = m_typeList->viewport()->width();
  if (width <= 0) return;
  m_typeList->setColumnWidth(0, width * 100 / 220);
  m_typeList->setColumnWidth(1, width * 40 / 220);
  m_typeList->setColumnWidth(2, width - width * 140 / 220);
}

}  // namespace restora
