// SPDX-License-Identifier: GPL-3.0-or-later
// The plain Create Image page.
#include "SimpleImagePage.h"

#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "CWizardSheet.h"
#include "ScanDriver.h"
#include "SourceGuard.h"
#include "WizardSourceOpener.h"

namespace restora {

SimpleImagePage::SimpleImagePage(CWizardSheet* sheet)
    : WizardPageBase(sheet),
      m_drive(new QComboBox(this)),
      m_folder(new QLineEdit(this)),
      m_name(new QLineEdit(QStringLiteral("Image.qxi"), this)) {
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Drive:"), m_drive);
  auto* folderRow = new QHBoxLayout;
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  folderRow->addWidget(m_folder, 1);
  folderRow->addWidget(browse);
  form->addRow(QStringLiteral("Image folder:"), folderRow);
  form->addRow(QStringLiteral("Image file name:"), m_name);
  content()->addLayout(form);
  content()->addStretch(1);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), m_folder->text());
    if (!folder.isEmpty()) m_folder->setText(folder);
  });
  for (QWidget* field : {static_cast<QWidget*>(m_folder), static_cast<QWidget*>(m_name)}) {
    connect(static_cast<QLineEdit*>(field), &QLineEdit::textChanged, this, &QWizardPage::completeChanged);
  }
  connect(m_drive, &QComboBox::currentIndexChanged, this, &QWizardPage::completeChanged);
}

void SimpleImagePage::activate() {
  WizardPageBase::activate();
  setCaptionText(QStringLiteral("Please select logical drive to process"));
  m_drive->clear();
  for (const LogicalDriveRecord& drive : sheet()->inventory.logicalDrives) {
    m_drive->addItem(QString::fromStdString(drive.label), QString::fromStdString(drive.devicePath));
  }
  m_drive->setCurrentIndex(-1);
}

bool SimpleImagePage::isComplete() const {
  return m_drive->currentIndex() >= 0 && !m_folder->text().trimmed().isEmpty() && !m_name->text().trimmed().isEmpty();
}

bool SimpleImagePage::validatePage() {
  const QString device = m_drive->currentData().toString();
  const QString folder = m_folder->text().trimmed();
  const QString name = m_name->text().trimmed();
  auto refuse = [this](const QString& text) {
    sheet()->ask(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
    return false;
  };
  if (!QDir(folder).exists()) return refuse(QStringLiteral("The folder %1 does not exist.").arg(folder));
  const std::string why = WhyOutputTouchesSource(device.toStdString(), QDir(folder).filePath(name).toStdString());
  if (!why.empty()) return refuse(QString::fromStdString(why));
  EngineState& engine = sheet()->engine();
  QString message;
  sheet()->sourcePath.clear();
  if (!OpenWizardSource(engine, device, false, &message)) {
    // A failed open leaves no source behind, so the old tree goes too.
    sheet()->host().discardScan();
    CleanUp(engine);
    return refuse(QStringLiteral("Failed to open drive %1").arg(device) +
                  (message.isEmpty() ? QString() : QStringLiteral("\n\n") + message));
  }
  const LogicalDriveRecord& drive = sheet()->inventory.logicalDrives[static_cast<size_t>(m_drive->currentIndex())];
  sheet()->sourcePath = device;
  sheet()->imageFolder = folder;
  sheet()->imageFileName = name;
  WizardLogEntry& entry = *sheet()->logEntry;
  entry.state = 0;
  entry.processText = QStringLiteral("Imaging Disk :%1,  Serial:%2")
                          .arg(QString::fromStdString(drive.label), QString::fromStdString(drive.volumeSerialNumber));
  entry.description = QStringLiteral("To Location %1").arg(folder);
  sheet()->host().addLogEntry(sheet()->logEntry);
  return true;
}

}  // namespace restora
