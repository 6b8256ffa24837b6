// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard's source page: the logical drives grouped by disk (Fast and Lost File Recovery) or
// the physical disks (Advanced File Recovery) under "My Computer". Leaving it forward resets the
// engine and opens the chosen device.
#pragma once

#include <QTreeWidget>
#include <cstdint>

#include "InfoPanel.h"
#include "WizardPageBase.h"

namespace restora {

class CWizardDriveSelectionPage : public WizardPageBase {
  Q_OBJECT
 public:
  // Item images of the tree.
  enum ItemImage { kRootImage = 0, kDiskImage = 1, kOtherImage = 2, kFixedDriveImage = 3 };
  static constexpr int kIndexRole = Qt::UserRole;       // index in logicalDrives or disks; -1 otherwise
  static constexpr int kImageRole = Qt::UserRole + 1;   // ItemImage
  static constexpr uint8_t kNothingChosen = 0xFF;

  explicit CWizardDriveSelectionPage(CWizardSheet* sheet);
  void activate() override;
  bool isComplete() const override { return m_selectedIndex != kNothingChosen; }
  int nextId() const override;
  bool validatePage() override;
  QString helpTopic() const override;

  QTreeWidget* tree() const { return m_tree; }
  InfoPanel* infoPanel() const { return m_panel; }
  int selectedIndex() const { return m_selectedIndex; }

 private:
  void buildLogicalDriveTree();
  void buildPhysicalDriveTree();
  QTreeWidgetItem* addItem(QTreeWidgetItem* parent, const QString& text, ItemImage image, int index);
  void onSelectionChanged();
  QString chosenLabel() const;
  QString chosenDevice() const;
  bool openChosenSource();
  bool loadFileTypes();

  QTreeWidget* m_tree;
  InfoPanel* m_panel;
  int m_selectedIndex = kNothingChosen;
};

}  // namespace restora
