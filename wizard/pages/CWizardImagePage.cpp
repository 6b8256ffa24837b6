// SPDX-License-Identifier: GPL-3.0-or-later
#include "CWizardImagePage.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWizard>

#include "ImageDestination.h"
#include "StartupCheckBox.h"
#include "WizardPageHost.h"
#include "WizardSourceOpener.h"

namespace restora {

namespace {

const QString kChooseDrive = QStringLiteral("Please select logical drive to process");
const QString kImageFilter = QStringLiteral("Ferrolin Restora Image File (*.qxi)");

std::optional<uint64_t> FreeBytesFor(const QString& folder) {
  const QStorageInfo storage(folder);
  if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0) return std::nullopt;
  return static_cast<uint64_t>(storage.bytesAvailable());
}

// Lines that begin with "HDR" are headings, shown bold without those letters.
void ShowPanelLines(QListWidget* panel, const QStringList& lines) {
  panel->clear();
  for (const QString& line : lines) {
    auto* item = new QListWidgetItem(line.startsWith(QLatin1String("HDR")) ? line.mid(3) : line, panel);
    if (line.startsWith(QLatin1String("HDR"))) {
      QFont heading = item->font();
      heading.setBold(true);
      item->setFont(heading);
    }
  }
}

}  // namespace

CWizardImagePage::CWizardImagePage(WizardPageHost& host, std::vector<ImageSourceDisk> disks, QWidget* parent)
    : QWizardPage(parent),
      m_host(host),
      m_disks(std::move(disks)),
      m_chooseFile(&CWizardImagePage::AskImageFile),
      m_now([] { return QDateTime::currentDateTime(); }),
      m_freeBytes(&FreeBytesFor) {
  m_caption = new QLabel(kChooseDrive, this);
  QFont captionFont = m_caption->font();
  captionFont.setBold(true);
  m_caption->setFont(captionFont);

  m_tree = new QTreeWidget(this);
  m_tree->setHeaderHidden(true);
  m_tree->setStyleSheet(QStringLiteral("QTreeView::item { padding-top: 2px; padding-bottom: 2px; }"));
  connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onDriveChosen(item); });
  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { onDriveChosen(item); });
  m_panel = new QListWidget(this);
  m_panel->setSelectionMode(QAbstractItemView::NoSelection);
  m_panel->setFocusPolicy(Qt::NoFocus);

  auto* destinationTitle = new QLabel(QStringLiteral("Select the destination path for image file"), this);
  m_destinationButton = new QPushButton(QStringLiteral("Select destination path"), this);
  QFont buttonFont = m_destinationButton->font();
  buttonFont.setBold(true);
  m_destinationButton->setFont(buttonFont);
  connect(m_destinationButton, &QPushButton::clicked, this, &CWizardImagePage::onDestinationButton);
  m_pathLabel = new QLabel(QStringLiteral("File path:"), this);
  m_pathLabel->setWordWrap(true);
  m_spaceLabel = new QLabel(QStringLiteral("Space available:"), this);
  m_startupBox = new StartupCheckBox(host.runWizardOnStartup(), this);

  auto* choices = new QHBoxLayout;
  choices->addWidget(m_tree, 3);
  choices->addWidget(m_panel, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_caption);
  layout->addLayout(choices, 1);
  layout->addWidget(destinationTitle);
  layout->addWidget(m_destinationButton, 0, Qt::AlignLeft);
  layout->addWidget(m_pathLabel);
  layout->addWidget(m_spaceLabel);
  layout->addWidget(m_startupBox);

  buildTree();
  showSteps();
}

CWizardImagePage::~CWizardImagePage() = default;

void CWizardImagePage::buildTree() {
  const QSignalBlocker quiet(m_tree);
  auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("My Computer")});
  root->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
  for (const ImageSourceDisk& disk : m_disks) {
    auto* diskItem = new QTreeWidgetItem(root, {disk.itemText});
    diskItem->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    for (const ImageSourceDrive& drive : disk.drives) {
      auto* driveItem = new QTreeWidgetItem(diskItem, {drive.label});
      driveItem->setIcon(0, style()->standardIcon(drive.localFixed ? QStyle::SP_DriveHDIcon : QStyle::SP_DriveFDIcon));
      driveItem->setCheckState(0, Qt::Unchecked);
      driveItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      m_driveItems.push_back(driveItem);
      m_driveOfItem.push_back(&drive);
    }
    diskItem->setExpanded(true);
  }
  root->setExpanded(true);
}

void CWizardImagePage::showSteps() {
  ShowPanelLines(m_panel, {QStringLiteral("HDRSteps to proceed. "), QStringLiteral(" "),
                           QStringLiteral("Select source drive, the drive whose"),
                           QStringLiteral(" image file has to be created."), QString(),
                           QStringLiteral("Before creating disk image make "),
                           QStringLiteral("sure you have enough free space to  "), QStringLiteral("store image file.")});
}

void CWizardImagePage::showDriveInformation(const ImageSourceDrive& drive) {
  ShowPanelLines(m_panel, {QStringLiteral("HDRInformation: ") + drive.label, QString(),
                           QStringLiteral("Volume Name: ") + drive.volumeName,
                           QStringLiteral("File System: ") + drive.fileSystem,
                           QStringLiteral("Serial Number: ") + drive.volumeSerialNumber,
                           QStringLiteral("Free Space: ") + drive.freeSpace,
                           QStringLiteral("Block Size: ") + drive.blockSize});
}

void CWizardImagePage::initializePage() {
  if (wizard() != nullptr) wizard()->setWindowTitle(QStringLiteral("Ferrolin Quillion Wizard"));
  m_startupBox->refresh();
  m_pathLabel->setEnabled(false);
  m_spaceLabel->setEnabled(false);
  m_destinationButton->setEnabled(false);
  setFinishEnabled(false);
}

bool CWizardImagePage::isComplete() const { return m_finishEnabled; }

void CWizardImagePage::onDriveChosen(QTreeWidgetItem* item) {
  m_selectedIndex = -1;
  for (size_t index = 0; index < m_driveItems.size(); ++index) {
    QTreeWidgetItem* driveItem = m_driveItems[index];
    if (driveItem == item) {
      driveItem->setCheckState(0, Qt::Checked);
      m_selectedIndex = static_cast<int>(index);
    } else {
      driveItem->setCheckState(0, Qt::Unchecked);
    }
  }
  const ImageSourceDrive* drive = chosenDrive();
  if (drive == nullptr) {
    m_caption->setText(kChooseDrive);
    m_destinationButton->setEnabled(false);
    setFinishEnabled(false);
    showSteps();
    return;
  }
  showDriveInformation(*drive);
  m_destinationButton->setEnabled(true);
  // The path label is enabled once a destination has been chosen.
  if (m_pathLabel->isEnabled()) setFinishEnabled(true);
  m_caption->setText(QStringLiteral("Selected ") + item->text(0));
}

const ImageSourceDrive* CWizardImagePage::chosenDrive() const {
  return m_selectedIndex < 0 ? nullptr : m_driveOfItem.at(static_cast<size_t>(m_selectedIndex));
}

void CWizardImagePage::onDestinationButton() {
  const ImageSourceDrive* drive = chosenDrive();
  if (drive == nullptr) return;
  const QString path = m_chooseFile(this, ProposedImageFileName(m_now().date()));
  if (path.isEmpty()) return;
  const QString refusal = ImageDestinationRefusal(drive->devicePath, path);
  if (!refusal.isEmpty()) {
    m_host.showError(QStringLiteral("The image file cannot be written there: %1.").arg(refusal));
    return;
  }
  m_pathLabel->setText(QStringLiteral("File Path :") + path);
  m_imageFolder = FolderOfPath(path);
  m_imageFileName = path.mid(m_imageFolder.size() + 1);
  const QString folder = m_imageFolder.isEmpty() ? QStringLiteral("/") : m_imageFolder;
  m_spaceLabel->setText(FreeSpaceText(m_freeBytes(folder).value_or(0)));
  m_spaceLabel->setEnabled(true);
  m_pathLabel->setEnabled(true);
  setFinishEnabled(true);
}

bool CWizardImagePage::validatePage() {
  const ImageSourceDrive* drive = chosenDrive();
  if (!m_finishEnabled || drive == nullptr) return false;
  // Another drive may have been chosen after the destination.
  const QString refusal = ImageDestinationRefusal(drive->devicePath, imagePath());
  if (!refusal.isEmpty()) {
    setFinishEnabled(false);
    m_host.showError(QStringLiteral("The image file cannot be written there: %1.").arg(refusal));
    return false;
  }
  auto engine = std::make_unique<EngineState>();
  QString why;
  if (OpenWizardSource(*engine, drive->devicePath, false, &why) == 0) {  // through UDisks2 when needed
    setFinishEnabled(false);
    m_host.showError(FailedToOpenDriveText(drive->devicePath, why));
    return false;
  }
  WizardJobLog& log = m_host.logEntry();
  log.processText = QStringLiteral("Imaging Disk :%1,  Serial:%2").arg(drive->label, drive->volumeSerialNumber);
  log.description = QStringLiteral("To Location %1").arg(m_imageFolder);
  log.state = 0;
  m_host.sendLogEntry();
  m_imagingEngine = std::move(engine);
  return true;
}

void CWizardImagePage::setFinishEnabled(bool enabled) {
  m_finishEnabled = enabled;
  emit completeChanged();
}

QString CWizardImagePage::AskImageFile(QWidget* parent, const QString& proposedName) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters({kImageFilter, QStringLiteral("All Files (*)")});
  dialog.setDefaultSuffix(QStringLiteral("qxi"));
  // A bare name gets ".qxi" only while the image filter is chosen.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter == kImageFilter ? QStringLiteral("qxi") : QString());
  });
  dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace restora
