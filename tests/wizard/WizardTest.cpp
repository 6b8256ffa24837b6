// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard as a user walks it: each page's help, Cancel's question and the shared start-up box,
// the drive trees, a missing Signature file and a drive that cannot be opened. The jobs are walked
// to their end from the main window on real volumes in FrameWizardTest and CreateImageTest.
#include <QAbstractButton>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"

using namespace restora;

namespace {

// One disk holding one FAT volume, an image file, so a walk can open it.
DriveInventory ImageInventory(const QString& volume) {
  DriveInventory inventory{{DiskRecord{}}, {PartitionRecord{}}, {LogicalDriveRecord{}}};
  inventory.disks[0].label = "Disk # 0 (1.00 MB))";
  inventory.disks[0].partitionCount = 1;
  inventory.partitions[0].logicalDriveCount = 1;
  inventory.logicalDrives[0].label = volume.toStdString() + " (1.00 MB))";
  inventory.logicalDrives[0].volumeSerialNumber = "ABCD1234";
  inventory.logicalDrives[0].devicePath = volume.toStdString();
  return inventory;
}

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT

  void makeSheet(DriveInventory drives = {}) {
    const std::string machine = RESTORA_SOURCE_DIR "/tests/drives/fixtures/machine";
    m_sheet = drives.disks.empty()
                  ? new CWizardSheet(m_engine, m_host, {machine + "/sys", machine + "/udev", "/none", machine + "/dev", {}})
                  : new CWizardSheet(m_engine, m_host, std::move(drives));
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
  QTreeWidgetItem* findItem(const QString& prefix) const {
    return drivePage()->tree()->findItems(prefix, Qt::MatchStartsWith | Qt::MatchRecursive).value(0);
  }
  void choose(int job) {
    mainPage()->optionButton(job)->click();
    button(QWizard::NextButton)->click();
  }

  QTemporaryDir m_folder;
  QString m_volume;  // a FAT16 image
  EngineState m_engine;
  CallbackWizardHost m_host;
  QStringList m_calls;  // what the wizard asked of its host
  CWizardSheet* m_sheet = nullptr;
  QStringList m_prompts;
  QMessageBox::StandardButton m_answer = QMessageBox::Yes;

 private slots:
  void initTestCase() {
    qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
    m_volume = m_folder.filePath("volume.img");
    if (QProcess::execute("mkfs.fat", {"-C", "-F", "16", m_volume, "16384"}) != 0) QSKIP("mkfs.fat is needed");
    m_host.onLogEntry = [this](const std::shared_ptr<WizardLogEntry>& entry) {
      m_calls << "log " + entry->processText + " | " + entry->description;
    };
  }
  void cleanup() {
    delete m_sheet;
    m_sheet = nullptr;
    m_calls.clear();
    m_prompts.clear();
    m_answer = QMessageBox::Yes;
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrolin Restora 1.0", "Ferrolin Restora").clear();
  }

  // Cancel asks first; No keeps the page and its choice. The start-up box is one setting for
  // every page, stored however the wizard ends.
  void cancelAndTheStartupBox() {
    makeSheet();
    mainPage()->startupBox()->click();
    choose(kFastFileRecovery);
    QVERIFY(drivePage()->startupBox()->isChecked());
    drivePage()->startupBox()->click();
    drivePage()->tree()->setCurrentItem(findItem("/dev/sda1"));
    m_answer = QMessageBox::No;
    button(QWizard::CancelButton)->click();
    QCOMPARE(m_prompts, QStringList{"Confirm: Do you want to close wizard?"});
    QVERIFY(m_sheet->isVisible() && usable(QWizard::FinishButton));
    button(QWizard::BackButton)->click();
    QVERIFY(!mainPage()->startupBox()->isChecked());
    mainPage()->startupBox()->click();
    m_answer = QMessageBox::Yes;
    m_sheet->close();  // the close box asks the same question
    QCOMPARE(m_sheet->result(), int(QDialog::Rejected));
    QCOMPARE(m_calls, QStringList{});
    delete m_sheet;
    makeSheet();
    QVERIFY(mainPage()->startupBox()->isChecked());
  }

  // The drive page of the fixture machine: the disks alone for Advanced File Recovery, else the
  // drives under their disks; a choice ticks its item and shows its details, "My Computer" is
  // no choice, and each activation starts without one.
  void driveTrees() {
    makeSheet();
    const auto shown = [this] {
      QStringList texts;
      for (QTreeWidgetItemIterator it(drivePage()->tree()); *it != nullptr; ++it) {
        texts << QString((*it)->parent() == nullptr ? 0 : (*it)->parent()->parent() == nullptr ? 1 : 2, u' ') + (*it)->text(0);
      }
      return texts;
    };
    choose(kAdvancedFileRecovery);
    QCOMPARE(drivePage()->captionText(), QString("Please select physical drive to process"));
    QCOMPARE(shown(), (QStringList{"My Computer", " Disk # 0 (74.53 GB)", " Disk # 1 (1.00 GB)", " Disk # 2 (14.84 GB)",
                                   " Disk # 3 (10.00 MB))"}));
    button(QWizard::BackButton)->click();
    choose(kFastFileRecovery);
    QCOMPARE(drivePage()->captionText(), QString("Please select logical drive to process"));
    QCOMPARE(shown(), (QStringList{"My Computer", " Disk # 0 [WDC WD800JD-75MSA3]", "  /dev/sda1 (512.00 MB))", " Disk # 1 [Cruzer]",
                                   "  /dev/sdb (1.00 GB)", " Disk # 2 [Flash Disk]", " Disk # 3 [Loop device evidence.img]"}));
    drivePage()->tree()->setCurrentItem(findItem("/dev/sdb"));
    QCOMPARE(findItem("/dev/sdb")->checkState(0), Qt::Checked);
    QCOMPARE(drivePage()->captionText(), QString("Selected /dev/sdb (1.00 GB)"));
    QCOMPARE(drivePage()->infoPanel()->lines(),
             (QStringList{"HDRInformation: /dev/sdb (1.00 GB)", "", "Volume Name: MY STICK", "File System: FAT",
                          "Serial Number: 0BADF00D", "Free Space: N/A", "Block Size: N/A"}));
    QVERIFY(usable(QWizard::FinishButton));
    drivePage()->tree()->setCurrentItem(drivePage()->tree()->topLevelItem(0));
    QVERIFY(!usable(QWizard::FinishButton) && findItem("/dev/sdb")->checkState(0) == Qt::Unchecked);
    drivePage()->tree()->setCurrentItem(findItem("/dev/sdb"));
    button(QWizard::BackButton)->click();
    button(QWizard::NextButton)->click();
    QCOMPARE(drivePage()->selectedIndex(), int(CWizardDriveSelectionPage::kNothingChosen));
  }

  // Help on each job's first page opens a help page that is shipped.
  void helpTopics() {
    QStringList topics;
    m_host.onShowHelp = [&topics](const QString& topic) { topics << topic; };
    const auto forget = qScopeGuard([this] { m_host.onShowHelp = nullptr; });
    makeSheet();
    button(QWizard::HelpButton)->click();
    for (const int job : {kFastFileRecovery, kLostFileRecovery, kAdvancedFileRecovery, kCreateImage}) {
      choose(job);
      button(QWizard::HelpButton)->click();
      button(QWizard::BackButton)->click();
    }
    QCOMPARE(topics, (QStringList{"::/quillionwizard.htm", "::/fastfilerecovery.htm", "::/restoralostfilerecovery.htm",
                                  "::/restoraadvancefilerecovery.htm", "::/ntfsdiskimaging2.htm"}));
    for (const QString& topic : topics) QVERIFY2(QFile::exists(RESTORA_SOURCE_DIR "/resources/help/" + topic.mid(3)), qPrintable(topic));
  }

  // Without the Signature file beside the program a search job says so, and its file-type page
  // offers nothing but "All".
  void missingSignatureFile() {
    const QString signature = QCoreApplication::applicationDirPath() + "/Signature";
    QVERIFY(QFile::rename(signature, signature + ".away"));
    const auto restore = qScopeGuard([&] { QFile::rename(signature + ".away", signature); });
    makeSheet(ImageInventory(m_volume));
    choose(kLostFileRecovery);
    drivePage()->tree()->setCurrentItem(findItem("/"));
    button(QWizard::NextButton)->click();
    QCOMPARE(m_prompts, QStringList{"Error: Failed to retrieve signatures information"});
    QVERIFY(m_sheet->allFileTypes.empty());
  }

  void driveThatCannotBeOpenedKeepsThePage() {
    makeSheet(ImageInventory(m_folder.filePath("gone.img")));
    choose(kLostFileRecovery);
    drivePage()->tree()->setCurrentItem(findItem("/"));
    button(QWizard::NextButton)->click();
    QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kDriveSelectionPage));
    QCOMPARE(m_prompts.size(), 1);
    QVERIFY(m_prompts[0].startsWith("Error: Failed to open drive " + m_folder.filePath("gone.img")));
    QVERIFY(m_engine.deviceHandle == nullptr && m_calls.isEmpty());
  }
};

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
