// SPDX-License-Identifier: GPL-3.0-or-later
// The drive selection page.
#include "CWizardDriveSelectionPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>

#include "CWizardSheet.h"
#include "ProgramFolder.h"
#include "ScanDriver.h"
#include "SignatureFile.h"
#include "WizardSourceOpener.h"

namespace restora {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CWizardDriveSelectionPage::CWizardDriveSelectionPage(CWizardSheet* sheet)
    : WizardPageBase(sheet), m_tree(new QTreeWidget(this)), m_panel(new InfoPanel(this)) {
  m_tree->setHeaderHidden(true);
  m_tree->setRootIsDecorated(true);
  m_tree->setIconSize(QSize(16, 16));
  m_tree->setStyleSheet(QStringLiteral("QTreeView::item { padding: 2px; }"));
  auto* row = new QHBoxLayout;
  row->addWidget(m_tree, 3);
  row->addWidget(m_panel, 2);
  content()->addLayout(row);
  connect(m_tree, &QTreeWidget::currentItemChanged, this, &CWizardDriveSelectionPage::onSelectionChanged);
}

void CWizardDriveSelectionPage::activate() {
  WizardPageBase::activate();
  // The tree is rebuilt, and nothing is chosen, each time the page shows.
  m_tree->blockSignals(true);
  m_tree->clear();
  m_selectedIndex = kNothingChosen;
  const int job = sheet()->jobChoice;
  if (job == kFastFileRecovery || job == kLostFileRecovery) {
    setCaptionText(QStringLiteral("Please select logical drive to process"));
    buildLogicalDriveTree();
  } else if (job == kAdvancedFileRecovery) {
    setCaptionText(QStringLiteral("Please select physical drive to process"));
    buildPhysicalDriveTree();
  }
  m_tree->blockSignals(false);
  m_panel->setLines(JobDescription(job));
  emit completeChanged();
}

int CWizardDriveSelectionPage::nextId() const {
  return sheet()->jobChoice == kFastFileRecovery ? -1 : CWizardSheet::kFileTypePage;
}

QString CWizardDriveSelectionPage::helpTopic() const {
  switch (sheet()->jobChoice) {
    case kFastFileRecovery: return QStringLiteral("::/fastfilerecovery.htm");
    case kLostFileRecovery: return QStringLiteral("::/restoralostfilerecovery.htm");
    default: return QStringLiteral("::/restoraadvancefilerecovery.htm");
  }
}

QTreeWidgetItem* CWizardDriveSelectionPage::addItem(QTreeWidgetItem* parent, const QString& text, ItemImage image,
                                                    int index) {
  static const QStyle::StandardPixmap kPixmaps[] = {QStyle::SP_ComputerIcon, QStyle::SP_DriveHDIcon,
                                                    QStyle::SP_DriveFDIcon, QStyle::SP_DriveHDIcon};
  auto* item = parent == nullptr ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(parent);
  item->setText(0, text);
  item->setIcon(0, style()->standardIcon(kPixmaps[image]));
  item->setData(0, kIndexRole, index);
  item->setData(0, kImageRole, image);
  // The tick shows the chosen item; the user chooses by selecting, not by ticking.
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

void CWizardDriveSelectionPage::buildLogicalDriveTree() {
  const DriveInventory& inventory = sheet()->inventory;
  QTreeWidgetItem* root = addItem(nullptr, QStringLiteral("My Computer"), kRootImage, -1);
  size_t partition = 0;
  size_t drive = 0;
  for (const DiskRecord& disk : inventory.disks) {
    // "Disk # 0 (74.53 GB)" shows as "Disk # 0 [model]".
    const QString label = Q(disk.label);
    const QString text = label.left(label.indexOf(QLatin1Char('(')) < 0 ? 0 : label.indexOf(QLatin1Char('('))) +
                         QLatin1Char('[') + Q(disk.model) + QLatin1Char(']');
    QTreeWidgetItem* diskItem = addItem(root, text, kDiskImage, -1);
    for (uint32_t p = 0; p < disk.partitionCount && partition < inventory.partitions.size(); ++p, ++partition) {
      const uint32_t drives = inventory.partitions[partition].logicalDriveCount;
      for (uint32_t d = 0; d < drives && drive < inventory.logicalDrives.size(); ++d, ++drive) {
        const LogicalDriveRecord& record = inventory.logicalDrives[drive];
        QTreeWidgetItem* item = addItem(diskItem, Q(record.label), record.driveType == 3 ? kFixedDriveImage : kOtherImage,
                                        static_cast<int>(drive));
        item->setCheckState(0, Qt::Unchecked);
      }
    }
    diskItem->setExpanded(true);
  }
  root->setExpanded(true);
}

void CWizardDriveSelectionPage::buildPhysicalDriveTree() {
  const DriveInventory& inventory = sheet()->inventory;
  QTreeWidgetItem* root = addItem(nullptr, QStringLiteral("My Computer"), kRootImage, -1);
  for (size_t i = 0; i < inventory.disks.size(); ++i) {
    const DiskRecord& disk = inventory.disks[i];
    QTreeWidgetItem* item =
        addItem(root, Q(disk.label), disk.interfaceType == "IDE" ? kDiskImage : kOtherImage, static_cast<int>(i));
    item->setCheckState(0, Qt::Unchecked);
  }
  root->setExpanded(true);
  m_tree->setCurrentItem(root);
}

void CWizardDriveSelectionPage::onSelectionChanged() {
  const int job = sheet()->jobChoice;
  const bool physical = job == kAdvancedFileRecovery;
  if (job < kFastFileRecovery || job > kAdvancedFileRecovery) return;
  QTreeWidgetItem* chosen = m_tree->currentItem();
  m_selectedIndex = kNothingChosen;
  // Every drive (or disk) item loses its tick but the chosen one; the item itself is the choice,
  // so two drives with the same text cannot be confused.
  for (QTreeWidgetItemIterator it(m_tree); *it != nullptr; ++it) {
    QTreeWidgetItem* item = *it;
    const int index = item->data(0, kIndexRole).toInt();
    if (index < 0) continue;
    const bool match = item == chosen;
    item->setCheckState(0, match ? Qt::Checked : Qt::Unchecked);
    if (!match) continue;
    m_selectedIndex = index;
    setCaptionText(QStringLiteral("Selected ") + item->text(0));
    m_panel->setLines(physical ? DiskInformation(sheet()->inventory.disks[static_cast<size_t>(index)])
                               : DriveInformation(sheet()->inventory.logicalDrives[static_cast<size_t>(index)]));
  }
  if (m_selectedIndex == kNothingChosen) {
    setCaptionText(physical ? QStringLiteral("Please select physical drive to process")
                            : QStringLiteral("Please select logical drive to process"));
    m_panel->setLines(JobDescription(job));
  }
  emit completeChanged();
}

QString CWizardDriveSelectionPage::chosenLabel() const {
  const DriveInventory& inventory = sheet()->inventory;
  const auto index = static_cast<size_t>(m_selectedIndex);
  return sheet()->jobChoice == kAdvancedFileRecovery ? Q(inventory.disks[index].label)
                                                     : Q(inventory.logicalDrives[index].label);
}

QString CWizardDriveSelectionPage::chosenDevice() const {
  const DriveInventory& inventory = sheet()->inventory;
  const auto index = static_cast<size_t>(m_selectedIndex);
  return sheet()->jobChoice == kAdvancedFileRecovery ? Q(inventory.disks[index].devicePath)
                                                     : Q(inventory.logicalDrives[index].devicePath);
}

// The previous scan is offered for saving, and the views let go of it, before the engine frees
// it; the device is opened by its path.
bool CWizardDriveSelectionPage::openChosenSource() {
  EngineState& engine = sheet()->engine();
  sheet()->offerToSaveScan();
  WizardLogEntry& entry = *sheet()->logEntry;
  entry.state = 0;
  entry.processText = QStringLiteral("Selected %1").arg(chosenLabel());
  entry.description = sheet()->jobChoice == kFastFileRecovery ? QStringLiteral("Disk Processing: Fast File Search")
                                                              : QStringLiteral("Disk Processing: Lost File Search");
  sheet()->host().discardScan();
  CleanUp(engine);
  QString why;
  sheet()->sourcePath.clear();
  if (OpenWizardSource(engine, chosenDevice(), sheet()->jobChoice == kAdvancedFileRecovery, &why)) {
    sheet()->sourcePath = chosenDevice();
    return true;
  }
  CleanUp(engine);
  sheet()->ask(QMessageBox::Critical, QStringLiteral("Error"), FailedToOpenDriveText(chosenDevice(), why), QMessageBox::Ok);
  return false;
}

bool CWizardDriveSelectionPage::loadFileTypes() {
  EngineState& engine = sheet()->engine();
  sheet()->allFileTypes.clear();
  const std::filesystem::path folder = FindDataFolder(kSignatureFileName);
  if (folder.empty() || !OpenSignatureFile(engine, folder)) {
    sheet()->ask(QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Failed to retrieve signatures information"),
                 QMessageBox::Ok);
    return false;
  }
  if (ReadSignatureList(engine)) sheet()->allFileTypes = std::move(engine.signatureList);
  engine.signatureList.clear();
  engine.signatureFileHandle.reset();
  return true;
}

bool CWizardDriveSelectionPage::validatePage() {
  if (m_selectedIndex == kNothingChosen || !openChosenSource()) return false;
  if (sheet()->jobChoice != kFastFileRecovery) loadFileTypes();
  sheet()->host().addLogEntry(sheet()->logEntry);
  return true;
}

}  // namespace restora
