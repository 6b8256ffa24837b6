// SPDX-License-Identifier: GPL-3.0-or-later
// Run Wizard in the main window: a Fast File Recovery chosen in the wizard scans and fills the
// folder tree; the next run offers the unsaved scan before the wizard frees it; Cancel starts
// nothing.
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "MainFrame.h"
#include "PlainScanViews.h"
#include "ProcessLogList.h"

using namespace restora;

namespace {

bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

class FrameWizardTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void fastScanThroughTheWizardFillsTheTree();

 private:
  // Walks the wizard that Run Wizard opens: Fast File Recovery on the test volume; answer is
  // given to every question.
  void walkWizard(QMessageBox::StandardButton answer, bool finish);
  QTemporaryDir m_folder;
  QString m_volume;
  QStringList m_questions;
};

void FrameWizardTest::initTestCase() {
  Q_INIT_RESOURCE(restora);  // the window's icons live in the shell's static library
  // The wizard lists a fixture machine, never this machine's disks.
  InventorySources& sources = CWizardSheet::DefaultInventorySources();
  const std::string machine = RESTORA_SOURCE_DIR "/tests/drives/fixtures/machine";
  sources.sysRoot = machine + "/sys";
  sources.udevDataRoot = machine + "/udev";
  sources.deviceRoot = machine + "/dev";
  sources.mountInfoPath = "/nonexistent";
  qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
  qputenv("XDG_DATA_HOME", m_folder.filePath("data").toLocal8Bit());
  m_volume = m_folder.filePath("volume.img");
  QFile note(m_folder.filePath("NOTE.TXT"));
  QVERIFY(note.open(QIODevice::WriteOnly));
  note.write("a note that was deleted\n");
  note.close();
  if (!Run("mkfs.fat", {"-C", "-F", "16", m_volume, "16384"}) || !Run("mcopy", {"-i", m_volume, note.fileName(), "::"}) ||
      !Run("mdel", {"-i", m_volume, "::NOTE.TXT"})) {
    QSKIP("mkfs.fat, mcopy and mdel are needed");
  }
}

void FrameWizardTest::walkWizard(QMessageBox::StandardButton answer, bool finish) {
  QTimer::singleShot(0, this, [=] {
    auto* sheet = qobject_cast<CWizardSheet*>(QApplication::activeModalWidget());
    QVERIFY(sheet != nullptr);
    sheet->setPrompt([this, answer](QMessageBox::Icon, const QString&, const QString& text, QMessageBox::StandardButtons) {
      m_questions << text;
      return answer;
    });
    if (!finish) {
      sheet->reject();
      return;
    }
    // The volume stands in for a drive of the inventory.
    DriveInventory& inventory = sheet->inventory;
    inventory = {};
    inventory.disks.push_back(DiskRecord{"Disk # 0 (8.00 MB))", "", "N/A", "SCSI", "", "Test", "1", "1", "255", "16065", 1, ""});
    inventory.partitions.push_back(PartitionRecord{"Disk #0, Partition #0 (8.00 MB))", "", 1, ""});
    LogicalDriveRecord drive;
    drive.label = m_volume.toStdString() + " (8.00 MB))";
    drive.devicePath = m_volume.toStdString();
    drive.driveType = 3;
    inventory.logicalDrives.push_back(drive);
    static_cast<CWizardMainPage*>(sheet->page(CWizardSheet::kMainPage))->optionButton(kFastFileRecovery)->click();
    sheet->next();
    auto* page = static_cast<CWizardDriveSelectionPage*>(sheet->page(CWizardSheet::kDriveSelectionPage));
    QTreeWidgetItem* root = page->tree()->topLevelItem(0);
    page->tree()->setCurrentItem(root->child(0)->child(0));
    sheet->button(QWizard::FinishButton)->click();
  });
}

void FrameWizardTest::fastScanThroughTheWizardFillsTheTree() {
  CMainFrame frame;
  frame.SetMessageHook([](QMessageBox&) { return int(QMessageBox::No); });
  frame.show();

  walkWizard(QMessageBox::Yes, true);
  frame.OnRunWizard();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 10000);
  QVERIFY(m_questions.isEmpty());
  QVERIFY(frame.TreeView()->HasItems());
  QVERIFY(frame.ScanInfoUnsaved());
  QVERIFY(frame.Engine().scanRoot != nullptr && frame.Engine().scanRoot->firstChild != nullptr);
  QCOMPARE(QString::fromStdU16String(frame.Engine().scanRoot->firstChild->name).mid(1), QString("OTE.TXT"));
  QCOMPARE(frame.ProcessLog()->topLevelItem(0)->text(0), "Selected " + m_volume + " (8.00 MB))");

  // Cancel starts nothing and leaves the tree as it was.
  walkWizard(QMessageBox::Yes, false);
  frame.OnRunWizard();
  QCOMPARE(m_questions, QStringList{"Do you want to close wizard?"});
  QVERIFY(frame.TreeView()->HasItems());
  QVERIFY(frame.ScanInfoUnsaved());

  // The next scan asks about the unsaved one before the wizard frees it; No goes on without it.
  m_questions.clear();
  walkWizard(QMessageBox::No, true);
  frame.OnRunWizard();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 10000);
  QCOMPARE(m_questions, QStringList{"Do you want to save scan information?"});
  QVERIFY(frame.TreeView()->HasItems());
}

QTEST_MAIN(FrameWizardTest)
#include "FrameWizardTest.moc"
