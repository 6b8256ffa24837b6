// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard as a user walks it: the main page, each job's pages, Cancel's question, the shared
// start-up box, the drive trees and a drive that cannot be opened. Jobs run from the main
// window on real volumes: FrameWizardTest.
#include <QAbstractButton>
#include <QProcess>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "CWizardDriveSelectionPage.h"
#include "CWizardImagePage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "CWizardSignaturesPage.h"

using namespace restora;

namespace {

// One disk holding one FAT volume, both backed by image files, so a walk can open them.
DriveInventory ImageInventory(const QString& volume, const QString& disk) {
  DriveInventory inventory{{DiskRecord{}}, {PartitionRecord{}}, {LogicalDriveRecord{}}};
  inventory.disks[0].label = "Disk # 0 (1.00 MB))";
  inventory.disks[0].partitionCount = 1;
  inventory.disks[0].devicePath = disk.toStdString();
  inventory.partitions[0].logicalDriveCount = 1;
  inventory.logicalDrives[0].label = volume.toStdString() + " (1.00 MB))";
  inventory.logicalDrives[0].volumeSerialNumber = "ABCD1234";
  inventory.logicalDrives[0].devicePath = volume.toStdString();
  return inventory;
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& prefix) {
  for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
    if ((*it)->text(0).startsWith(prefix)) return *it;
  }
  return nullptr;
}

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT

  void makeSheet(DriveInventory drives = {}) {
    const std::string machine = RESTORA_SOURCE_DIR "/tests/drives/fixtures/machine";
    m_sheet = drives.disks.empty()
                  ? new CWizardSheet(*m_engine, m_host, {machine + "/sys", machine + "/udev", "/none", machine + "/dev", {}})
                  : new CWizardSheet(*m_engine, m_host, std::move(drives));
    m_sheet->setPrompt([this](QMessageBox::Icon, const QString& caption, const QString& text, QMessageBox::StandardButtons) {
      m_prompts << caption + ": " + text;
      return m_answer;
    });
    m_sheet->show();
  }
  QAbstractButton* button(QWizard::WizardButton which) const { return m_sheet->button(which); }
  bool usable(QWizard::WizardButton which) const { return button(which)->isVisible() && button(which)->isEnabled(); }
  CWizardMainPage* mainPage() const { return static_cast<CWizardMainPage*>(m_sheet->page(CWizardSheet::kMainPage)); }
  CWizardDriveSelectionPage* drivePage() const {
    return static_cast<CWizardDriveSelectionPage*>(m_sheet->page(CWizardSheet::kDriveSelectionPage));
  }
  QTreeWidgetItem* findItem(const QString& prefix) const { return FindItem(drivePage()->tree(), prefix); }
  void choose(int job) {
    mainPage()->optionButton(job)->click();
    button(QWizard::NextButton)->click();
  }
  static QWizard::WizardButton Forward(int job) {
    return job == kLostFileRecovery || job == kAdvancedFileRecovery ? QWizard::NextButton : QWizard::FinishButton;
  }

  QTemporaryDir m_folder;
  QString m_volume;  // a FAT16 image where HELLO.TXT was deleted
  QString m_disk;    // an image of a disk
  std::unique_ptr<EngineState> m_engine;
  CallbackWizardHost m_host;
  QStringList m_calls;  // what the wizard asked of its host
  CWizardSheet* m_sheet = nullptr;
  QStringList m_prompts;
  QMessageBox::StandardButton m_answer = QMessageBox::Yes;

 private slots:
  void initTestCase() {
    qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
    m_volume = m_folder.filePath("volume.img");
    m_disk = m_folder.filePath("disk.img");
    QProcess make;
    make.start("bash", {"-ec", "cd " + m_folder.path() + "; echo 'hello from the wizard test' >HELLO.TXT; truncate -s 1M disk.img;"
                                   "mkfs.fat -C -F 16 volume.img 16384; mcopy -i volume.img HELLO.TXT ::; mdel -i volume.img ::HELLO.TXT"});
    if (!make.waitForFinished(30000) || make.exitCode() != 0) QSKIP("mkfs.fat, mcopy and mdel are needed");
    m_host.onLogEntry = [this](const std::shared_ptr<WizardLogEntry>& entry) {
      m_calls << "log " + entry->processText + " | " + entry->description;
    };
  }
  void init() {
    m_engine = std::make_unique<EngineState>();
    m_calls.clear();
    m_prompts.clear();
    m_answer = QMessageBox::Yes;
  }
  void cleanup() {
    delete m_sheet;
    m_sheet = nullptr;
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrolin Restora 1.0", "Ferrolin Restora").clear();
  }

  void mainPageButtonsAndTexts() {
    makeSheet();
    QVERIFY(!usable(QWizard::NextButton) && !usable(QWizard::BackButton) && !usable(QWizard::FinishButton));
    QCOMPARE(mainPage()->infoPanel()->lines().first(), QString("HDRPlease select appropriate option "));
    const QStringList labels = {"Fast File Recovery", "Lost File Recovery", "       Advanced File Recovery", "Create Image"};
    for (int job = 1; job <= 4; ++job) QCOMPARE(mainPage()->optionButton(job)->text(), labels[job - 1]);
    mainPage()->optionButton(kAdvancedFileRecovery)->click();
    QCOMPARE(mainPage()->captionText(), QString("Advanced File Recovery"));
    QCOMPARE(mainPage()->infoPanel()->lines().first(), QString("HDRAdvanced File Recovery"));
    QVERIFY(usable(QWizard::NextButton));
  }

  // Each job's pages (Back always leads to the main page, which keeps the choice), its source,
  // and what it hands to the process log and leaves in the engine.
  void jobPaths_data() {
    QTest::addColumn<int>("job");
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<QString>("log");  // the last entry handed to the process log
    QTest::newRow("fast") << int(kFastFileRecovery) << QList<int>{0, 1} << "Selected VOLUME (1.00 MB)) | Disk Processing: Fast File Search";
    QTest::newRow("lost") << int(kLostFileRecovery) << QList<int>{0, 1, 3} << "Selected VOLUME (1.00 MB)) | 1 file type(s) to search";
    QTest::newRow("advanced") << int(kAdvancedFileRecovery) << QList<int>{0, 1, 3}
                              << "Selected Disk # 0 (1.00 MB)) | 1 file type(s) to search";
    QTest::newRow("image") << int(kCreateImage) << QList<int>{0, 2}
                           << "Imaging Disk :VOLUME (1.00 MB)),  Serial:ABCD1234 | To Location FOLDER";
  }
  void jobPaths() {
    QFETCH(int, job);
    QFETCH(QList<int>, pages);
    QFETCH(QString, log);
    makeSheet(ImageInventory(m_volume, m_disk));
    choose(job);
    button(QWizard::BackButton)->click();
    QVERIFY(mainPage()->optionButton(job)->isChecked() && usable(QWizard::NextButton));
    button(QWizard::NextButton)->click();
    QList<int> visited{0, m_sheet->currentId()};
    QVERIFY(!usable(Forward(job)));
    if (job == kCreateImage) {  // a drive, then a destination
      m_sheet->imagePage()->onDriveChosen(FindItem(m_sheet->imagePage()->driveTree(), m_volume));
      m_sheet->imagePage()->setFileChooser([this](QWidget*, const QString&) { return m_folder.filePath("copy.qxi"); });
      m_sheet->imagePage()->onDestinationButton();
    } else {
      drivePage()->tree()->setCurrentItem(findItem(job == kAdvancedFileRecovery ? "Disk # 0" : m_volume));
    }
    button(Forward(job))->click();
    if (Forward(job) == QWizard::NextButton) {  // Finish once a type is ticked
      visited << m_sheet->currentId();
      QTableWidget* types = m_sheet->fileTypePage()->typeList();
      m_sheet->fileTypePage()->onDeselectAll();
      QVERIFY(!usable(QWizard::FinishButton));
      QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, types->visualItemRect(types->item(0, 0)).topLeft() + QPoint(3, 6));
      button(QWizard::FinishButton)->click();
      QCOMPARE(m_engine->signatureList.size(), size_t(1));
    }
    QCOMPARE(visited, pages);
    QCOMPARE(m_sheet->result(), int(QDialog::Accepted));
    QCOMPARE(m_prompts, QStringList{});
    QCOMPARE(m_calls.last(), "log " + QString(log).replace("VOLUME", m_volume).replace("FOLDER", m_folder.path()));
    if (job == kCreateImage) {  // the drive is opened in a state of its own
      QVERIFY(m_sheet->imagePage()->takeImagingEngine() != nullptr && m_engine->deviceHandle == nullptr);
      QCOMPARE(m_sheet->imageFolder + '/' + m_sheet->imageFileName, m_folder.filePath("copy.qxi"));
    } else {
      QVERIFY(m_engine->deviceHandle != nullptr);
      QCOMPARE(m_engine->volumeInfo.kind == SourceKind::Disk, job == kAdvancedFileRecovery);
    }
  }

  void cancelAnsweredNoKeepsEverything() {
    makeSheet();
    choose(kFastFileRecovery);
    drivePage()->tree()->setCurrentItem(findItem("/dev/sda1"));
    m_answer = QMessageBox::No;
    button(QWizard::CancelButton)->click();
    QCOMPARE(m_prompts, QStringList{"Confirm: Do you want to close wizard?"});
    QVERIFY(m_sheet->isVisible() && usable(QWizard::FinishButton));
    QCOMPARE(drivePage()->selectedIndex(), 0);
    m_answer = QMessageBox::Yes;
    m_sheet->close();  // the close box asks the same question
    QVERIFY(!m_sheet->isVisible());
    QCOMPARE(m_sheet->result(), int(QDialog::Rejected));
    QCOMPARE(m_calls, QStringList{});
  }

  void startupBoxIsOneSettingForAllPages() {
    makeSheet();
    mainPage()->startupBox()->click();
    choose(kLostFileRecovery);
    QVERIFY(drivePage()->startupBox()->isChecked());
    drivePage()->startupBox()->click();
    button(QWizard::BackButton)->click();
    QVERIFY(!mainPage()->startupBox()->isChecked());
    mainPage()->startupBox()->click();
    button(QWizard::CancelButton)->click();
    delete m_sheet;  // which stores the setting, also after Cancel
    makeSheet();
    QVERIFY(mainPage()->startupBox()->isChecked());
  }

  // The drive page's tree of the fixture machine: texts and item images, a choice, and no
  // choice left after going Back and Next again (the tree is rebuilt).
  void driveTrees_data() {
    QTest::addColumn<int>("job");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("information");  // one line the panel shows for the pick
    QTest::newRow("logical") << int(kFastFileRecovery) << "Please select logical drive to process"
                             << QStringList{"My Computer 0", " Disk # 0 [WDC WD800JD-75MSA3] 1", "  /dev/sda1 (512.00 MB)) 3",
                                            " Disk # 1 [Cruzer] 1", "  /dev/sdb (1.00 GB) 2", " Disk # 2 [Flash Disk] 1",
                                            " Disk # 3 [Loop device evidence.img] 1"}
                             << "/dev/sdb" << "Volume Name: MY STICK";
    QTest::newRow("physical") << int(kAdvancedFileRecovery) << "Please select physical drive to process"
                              << QStringList{"My Computer 0", " Disk # 0 (74.53 GB) 1", " Disk # 1 (1.00 GB) 2",
                                             " Disk # 2 (14.84 GB) 2", " Disk # 3 (10.00 MB)) 2"}
                              << "Disk # 0" << "Partitions :2";
  }
  void driveTrees() {
    QFETCH(int, job);
    QFETCH(QString, caption);
    QFETCH(QStringList, shown);
    QFETCH(QString, pick);
    QFETCH(QString, information);
    makeSheet();
    choose(job);
    QTreeWidget* tree = drivePage()->tree();
    QCOMPARE(drivePage()->captionText(), caption);
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
      const int depth = (*it)->parent() == nullptr ? 0 : (*it)->parent()->parent() == nullptr ? 1 : 2;
      texts << QString(depth, u' ') + (*it)->text(0) + " " + (*it)->data(0, CWizardDriveSelectionPage::kImageRole).toString();
    }
    QCOMPARE(texts, shown);
    tree->setCurrentItem(findItem(pick));
    QCOMPARE(findItem(pick)->checkState(0), Qt::Checked);
    QCOMPARE(drivePage()->captionText(), "Selected " + findItem(pick)->text(0));
    QVERIFY2(drivePage()->infoPanel()->lines().contains(information), qPrintable(drivePage()->infoPanel()->lines().join('|')));
    QVERIFY(usable(Forward(job)));
    tree->setCurrentItem(tree->topLevelItem(0));  // "My Computer" is no choice
    QVERIFY(!usable(Forward(job)));
    QCOMPARE(findItem(pick)->checkState(0), Qt::Unchecked);
    QCOMPARE(drivePage()->captionText(), caption);
    tree->setCurrentItem(findItem(pick));
    button(QWizard::BackButton)->click();
    button(QWizard::NextButton)->click();
    QCOMPARE(drivePage()->selectedIndex(), int(CWizardDriveSelectionPage::kNothingChosen));
    QCOMPARE(findItem(pick)->checkState(0), Qt::Unchecked);
  }

  void driveThatCannotBeOpenedKeepsThePage() {
    for (const int job : {int(kFastFileRecovery), int(kLostFileRecovery)}) {
      cleanup();
      init();
      makeSheet(ImageInventory(m_folder.filePath("gone.img"), m_disk));
      choose(job);
      drivePage()->tree()->setCurrentItem(findItem("/"));
      button(Forward(job))->click();
      QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kDriveSelectionPage));
      QCOMPARE(m_prompts.size(), 1);
      QVERIFY(m_prompts[0].startsWith("Error: Failed to open drive " + m_folder.filePath("gone.img")));
      QVERIFY(m_engine->deviceHandle == nullptr && m_calls.isEmpty());
    }
  }
};

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
