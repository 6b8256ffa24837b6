// SPDX-License-Identifier: GPL-3.0-or-later
// Run Wizard in the main window: Fast File Recovery of a loop device chosen on the drive page
// scans it and fills the folder tree; the next run offers the unsaved scan before it is freed.
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <unistd.h>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "MainFrame.h"
#include "PlainScanViews.h"
#include "ProcessLogList.h"

using namespace restora;

namespace {

bool Run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
  QProcess process;
  process.start(program, arguments);
  const bool done = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  if (output != nullptr) *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
  return done;
}

}  // namespace

class FrameWizardTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void fastScanOfLoopDeviceFillsTheTree();

 private:
  // Walks the wizard that Run Wizard opens to Finish on the loop device's drive, giving answer
  // to every question.
  void walkWizard(QMessageBox::StandardButton answer);
  QTemporaryDir m_folder;
  QString m_loop;
  QStringList m_questions;
};

void FrameWizardTest::initTestCase() {
  Q_INIT_RESOURCE(restora);  // the window's icons live in the shell's static library
  qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
  qputenv("XDG_DATA_HOME", m_folder.filePath("data").toLocal8Bit());
  if (::geteuid() != 0) QSKIP("needs root to attach a loop device");
  const QString volume = m_folder.filePath("volume.img");
  QFile note(m_folder.filePath("NOTE.TXT"));
  QVERIFY(note.open(QIODevice::WriteOnly));
  note.write("a note that was deleted\n");
  note.close();
  if (!Run("mkfs.fat", {"-C", "-F", "16", volume, "16384"}) || !Run("mcopy", {"-i", volume, note.fileName(), "::"}) ||
      !Run("mdel", {"-i", volume, "::NOTE.TXT"})) {
    QSKIP("mkfs.fat, mcopy and mdel are needed");
  }
  if (!Run("losetup", {"--find", "--show", volume}, &m_loop)) QSKIP("cannot attach a loop device");
  // The wizard lists the loop device alone, never this machine's disks.
  CWizardSheet::DefaultInventorySources().onlyDisks = {m_loop.toStdString()};
}

void FrameWizardTest::cleanupTestCase() {
  if (!m_loop.isEmpty()) Run("losetup", {"-d", m_loop});
}

void FrameWizardTest::walkWizard(QMessageBox::StandardButton answer) {
  QTimer::singleShot(0, this, [=] {
    auto* sheet = qobject_cast<CWizardSheet*>(QApplication::activeModalWidget());
    QVERIFY(sheet != nullptr);
    sheet->setPrompt([this, answer](QMessageBox::Icon, const QString&, const QString& text, QMessageBox::StandardButtons) {
      m_questions << text;
      return answer;
    });
    static_cast<CWizardMainPage*>(sheet->page(CWizardSheet::kMainPage))->optionButton(kFastFileRecovery)->click();
    sheet->next();
    auto* page = static_cast<CWizardDriveSelectionPage*>(sheet->page(CWizardSheet::kDriveSelectionPage));
    page->tree()->setCurrentItem(page->tree()->topLevelItem(0)->child(0)->child(0));
    sheet->button(QWizard::FinishButton)->click();
  });
}

void FrameWizardTest::fastScanOfLoopDeviceFillsTheTree() {
  CMainFrame frame;
  frame.SetMessageHook([](QMessageBox&) { return int(QMessageBox::No); });
  frame.show();

  walkWizard(QMessageBox::Yes);
  frame.OnRunWizard();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 10000);
  QVERIFY(m_questions.isEmpty());
  QVERIFY(frame.TreeView()->HasItems());
  QVERIFY(frame.ScanInfoUnsaved());
  const ScanNode* root = frame.Engine().scanRoot;
  QVERIFY(root != nullptr && root->firstChild != nullptr);
  QCOMPARE(QString::fromStdU16String(root->firstChild->name).mid(1), QString("OTE.TXT"));
  QVERIFY(frame.ProcessLog()->topLevelItem(0)->text(0).startsWith("Selected " + m_loop + " ("));

  // The next scan asks about the unsaved one first; No goes on without saving.
  walkWizard(QMessageBox::No);
  frame.OnRunWizard();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 10000);
  QCOMPARE(m_questions, QStringList{"Do you want to save scan information?"});
  QVERIFY(frame.TreeView()->HasItems());
}

QTEST_MAIN(FrameWizardTest)
#include "FrameWizardTest.moc"
