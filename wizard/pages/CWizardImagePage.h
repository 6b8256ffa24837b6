// SPDX-License-Identifier: GPL-3.0-or-later
// The Create Image page: the user picks the drive to copy and the image file to create. Finish
// opens the drive in an engine state of its own, so a scan shown in the main window is left as
// it is while the image is written.
#pragma once

#include <QDateTime>
#include <QWizardPage>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "EngineState.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace restora {

class StartupCheckBox;
class WizardPageHost;

// One volume the page offers, with the texts its tree item and information panel show.
struct ImageSourceDrive {
  QString label;  // "/dev/sdb1 (14.90 GB)"
  QString volumeName;
  QString fileSystem;
  QString volumeSerialNumber;
  QString freeSpace;
  QString blockSize;
  QString devicePath;  // what Finish opens
  bool localFixed = true;
};

// A disk item ("Disk # 0 [model]") and the volumes under it.
struct ImageSourceDisk {
  QString itemText;
  std::vector<ImageSourceDrive> drives;
};

class CWizardImagePage : public QWizardPage {
  Q_OBJECT
 public:
  CWizardImagePage(WizardPageHost& host, std::vector<ImageSourceDisk> disks, QWidget* parent = nullptr);
  ~CWizardImagePage() override;

  // Activation: the destination button and labels are disabled and Finish is off, so a drive and
  // a destination must be chosen again.
  void initializePage() override;
  bool isComplete() const override;
  // Finish: refuses a destination on the drive, opens the drive and logs the job.
  bool validatePage() override;
  int nextId() const override { return -1; }

  QString imageFolder() const { return m_imageFolder; }
  QString imageFileName() const { return m_imageFileName; }
  // The full path of the image file to create.
  QString imagePath() const { return m_imageFolder + u'/' + m_imageFileName; }
  // After Finish: the engine state with the drive open, for the imaging job; null before.
  std::unique_ptr<EngineState> takeImagingEngine() { return std::move(m_imagingEngine); }
  static constexpr const char* kHelpTopic = "ntfsdiskimaging2.htm";

  // Replaceable for tests: the save-file dialog (returns the chosen path, empty when cancelled),
  // the clock, and the free bytes for the user on a folder's file system (none when unknown).
  using FileChooser = std::function<QString(QWidget* parent, const QString& proposedName)>;
  void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
  void setClock(std::function<QDateTime()> clock) { m_now = std::move(clock); }
  void setFreeSpaceQuery(std::function<std::optional<uint64_t>(const QString&)> query) { m_freeBytes = std::move(query); }

  // The save-file dialog the page shows: the image filter first, an overwrite question, and
  // ".qxi" added to a bare name while the image filter is chosen.
  static QString AskImageFile(QWidget* parent, const QString& proposedName);

  QTreeWidget* driveTree() const { return m_tree; }
  QListWidget* informationPanel() const { return m_panel; }
  QPushButton* destinationButton() const { return m_destinationButton; }
  QLabel* pathLabel() const { return m_pathLabel; }
  QLabel* spaceLabel() const { return m_spaceLabel; }

 public slots:
  void onDriveChosen(QTreeWidgetItem* item);
  void onDestinationButton();

 private:
  void buildTree();
  void showSteps();
  void showDriveInformation(const ImageSourceDrive& drive);
  void setFinishEnabled(bool enabled);
  const ImageSourceDrive* chosenDrive() const;

  WizardPageHost& m_host;
  std::vector<ImageSourceDisk> m_disks;
  std::vector<QTreeWidgetItem*> m_driveItems;  // in tree order, one per drive
  std::vector<const ImageSourceDrive*> m_driveOfItem;
  int m_selectedIndex = -1;
  QString m_imageFolder;
  QString m_imageFileName;
  std::unique_ptr<EngineState> m_imagingEngine;
  bool m_finishEnabled = false;

  QLabel* m_caption;
  QTreeWidget* m_tree;
  QListWidget* m_panel;
  QPushButton* m_destinationButton;
  QLabel* m_pathLabel;
  QLabel* m_spaceLabel;
  StartupCheckBox* m_startupBox;

  FileChooser m_chooseFile;
  std::function<QDateTime()> m_now;
  std::function<std::optional<uint64_t>(const QString&)> m_freeBytes;
};

}  // namespace restora
