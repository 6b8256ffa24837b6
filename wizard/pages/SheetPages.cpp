// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetPages.h"

#include "CWizardSheet.h"

namespace restora {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::vector<ImageSourceDisk> ImageSourceDisks(const DriveInventory& inventory) {
  std::vector<ImageSourceDisk> disks;
  size_t partition = 0;
  size_t drive = 0;
  for (const DiskRecord& disk : inventory.disks) {
    const size_t bracket = disk.label.find('(');
    ImageSourceDisk shown{Text(disk.label.substr(0, bracket == std::string::npos ? 0 : bracket)) + u'[' +
                              Text(disk.model) + u']',
                          {}};
    for (uint32_t p = 0; p < disk.partitionCount && partition < inventory.partitions.size(); ++p, ++partition) {
      const uint32_t drives = inventory.partitions[partition].logicalDriveCount;
      for (uint32_t d = 0; d < drives && drive < inventory.logicalDrives.size(); ++d, ++drive) {
        const LogicalDriveRecord& record = inventory.logicalDrives[drive];
        shown.drives.push_back({Text(record.label), Text(record.volumeName), Text(record.fileSystem),
                                Text(record.volumeSerialNumber), Text(record.freeSpace), Text(record.blockSize),
                                Text(record.devicePath), record.driveType == 3});
      }
    }
    disks.push_back(std::move(shown));
  }
  return disks;
}

EngineState& SheetPages::engine() { return m_sheet.engine(); }

std::vector<SignatureRecord>& SheetPages::allFileTypes() { return m_sheet.allFileTypes; }

WizardJobLog& SheetPages::logEntry() {
  // The drive page may have written the entry already (the file-type page keeps its process text).
  m_log.processText = m_sheet.logEntry->processText;
  m_log.description = m_sheet.logEntry->description;
  m_log.state = m_sheet.logEntry->state;
  return m_log;
}

void SheetPages::sendLogEntry() {
  m_sheet.logEntry->processText = m_log.processText;
  m_sheet.logEntry->description = m_log.description;
  m_sheet.logEntry->state = m_log.state;
  m_sheet.host().addLogEntry(m_sheet.logEntry);
}

int& SheetPages::runWizardOnStartup() { return m_sheet.runWizardOnStartup; }

void SheetPages::showError(const QString& text) {
  (void)m_sheet.ask(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
}

}  // namespace restora
