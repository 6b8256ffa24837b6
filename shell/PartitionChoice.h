// SPDX-License-Identifier: GPL-3.0-or-later
// The question Image Processing asks about an image of a whole disk that holds several FAT16,
// FAT32 or NTFS partitions: scan which one, or all of them.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "DiskPartitions.h"

class QListWidget;

namespace restora {

class CPartitionChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  // reports: the usable partitions, in table order. The first row stands for all of them.
  CPartitionChoiceDialog(const QString& path, std::vector<PartitionReport> reports, QWidget* parent = nullptr);

  // 0 for all partitions, else the chosen partition's number.
  uint32_t ChosenNumber() const;
  // Selects the row of partition number (0: all).
  void Select(uint32_t number);

 private:
  std::vector<PartitionReport> m_reports;
  QListWidget* m_list;
};

// Runs the dialog (or hook, which stands in for the user in tests) when the file at path is no
// volume but a disk image with more than one usable partition. Returns false when the user
// cancelled; otherwise *number is the partition to scan, or 0 for all (also when nothing was
// asked).
bool AskPartition(QWidget* parent, const QString& path, uint32_t* number,
                  const std::function<int(CPartitionChoiceDialog&)>& hook = {});

}  // namespace restora
