// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the partition of a disk image to scan.
#include "PartitionChoice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "SourceGuard.h"
#include "SourceOpener.h"
#include "ScanDriver.h"

namespace restora {

namespace {

QString RowText(const PartitionReport& report) {
  const double mib = static_cast<double>(report.entry.sectorCount) * 512.0 / (1024.0 * 1024.0);
  return QStringLiteral("Partition %1 (%2), %3 MB at sector %4")
      .arg(report.entry.number)
      .arg(QString::fromLatin1(SourceKindText(report.kind)))
      .arg(mib, 0, 'f', 1)
      .arg(report.entry.startSector);
}

}  // namespace

CPartitionChoiceDialog::CPartitionChoiceDialog(const QString& path, std::vector<PartitionReport> reports, QWidget* parent)
    : QDialog(parent), m_reports(std::move(reports)), m_list(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Image Processing"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("%1 holds several partitions. Scan:").arg(path), this));
  m_list->addItem(QStringLiteral("All partitions, each in a folder of its own"));
  for (const PartitionReport& report : m_reports) m_list->addItem(RowText(report));
  m_list->setCurrentRow(0);
  layout->addWidget(m_list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
}

uint32_t CPartitionChoiceDialog::ChosenNumber() const {
  const int row = m_list->currentRow();
  if (row <= 0 || static_cast<size_t>(row) > m_reports.size()) return 0;
  return m_reports[static_cast<size_t>(row) - 1].entry.number;
}

void CPartitionChoiceDialog::Select(uint32_t number) {
  m_list->setCurrentRow(0);
  for (size_t i = 0; i < m_reports.size(); ++i) {
    if (m_reports[i].entry.number == number) m_list->setCurrentRow(static_cast<int>(i) + 1);
  }
}

bool AskPartition(QWidget* parent, const QString& path, uint32_t* number,
                  const std::function<int(CPartitionChoiceDialog&)>& hook) {
  *number = 0;
  const std::string file = path.toStdString();
  {
    // An image of one volume is scanned as before, without a question.
    EngineState probe;
    const bool volume = OpenSourcePath(probe, file, false, nullptr) == 1;
    CleanUp(probe);
    if (volume) return true;
  }
  std::vector<PartitionReport> reports;
  std::string scheme;
  std::string error;
  if (!ExamineDiskPartitions(file, &reports, &scheme, &error)) return true;
  std::erase_if(reports, [](const PartitionReport& report) { return !report.usable; });
  if (reports.size() < 2) return true;
  CPartitionChoiceDialog dialog(path, std::move(reports), parent);
  const int answer = hook ? hook(dialog) : dialog.exec();
  if (answer != QDialog::Accepted) return false;
  *number = dialog.ChosenNumber();
  return true;
}

}  // namespace restora
