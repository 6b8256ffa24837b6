// SPDX-License-Identifier: GPL-3.0-or-later
// Create Image from the wizard after a scan (as root, of a loop device over a test volume): the
// image equals the volume byte for byte, and the scan shown before it stays in the window, still
// unsaved, and saves whole.
#include <QAbstractButton>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <unistd.h>

#include "CWizardImagePage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "MainFrame.h"
#include "ProcessLogList.h"
#include "ScanFile.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"

using namespace restora;
using namespace Qt::StringLiterals;

class CreateImageTest : public QObject {
  Q_OBJECT

 private slots:
  void imageLeavesTheShownScanAlone() {
    if (geteuid() != 0) QSKIP("needs root to attach a loop device");
    QTemporaryDir folder;
    const test::ShellVolume volume = test::BuildShellVolume();
    const QString volumePath = test::WriteFile(folder.filePath(u"volume.img"_s), volume.bytes), image = folder.filePath(u"copy.qxi"_s);
    QProcess losetup;
    losetup.start(u"losetup"_s, {u"--find"_s, u"--show"_s, volumePath});
    if (!losetup.waitForFinished() || losetup.exitCode() != 0) QSKIP("cannot attach a loop device");
    const QString loop = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    const auto detach = qScopeGuard([&] { QProcess::execute(u"losetup"_s, {u"-d"_s, loop}); });

    CMainFrame frame;
    test::Answers answers;
    answers.Install(frame);
    frame.show();
    QVERIFY(frame.ProcessImageFile(volumePath));
    const ScanNode* shownRoot = frame.Engine().scanRoot;
    const std::vector<std::string> shownLines = test::TreeLines(frame.Engine());
    QVERIFY(shownLines.size() >= 5);

    bool driveFound = false;
    QTimer::singleShot(0, [&] {
      auto* sheet = qobject_cast<CWizardSheet*>(QApplication::activeModalWidget());
      if (sheet == nullptr) return;
      qobject_cast<CWizardMainPage*>(sheet->page(CWizardSheet::kMainPage))->optionButton(kCreateImage)->click();
      sheet->button(QWizard::NextButton)->click();
      auto* page = qobject_cast<CWizardImagePage*>(sheet->currentPage());
      QTreeWidgetItemIterator item(page->driveTree());
      while (*item != nullptr && !(*item)->text(0).startsWith(loop + u" ("_s)) ++item;
      if ((driveFound = *item != nullptr)) {
        page->onDriveChosen(*item);
        page->setFileChooser([&](QWidget*, const QString&) { return image; });
        page->onDestinationButton();
        sheet->button(QWizard::FinishButton)->click();
      }
      if (sheet->isVisible()) static_cast<QDialog*>(sheet)->done(QDialog::Rejected);
    });
    frame.OnRunWizard();
    QVERIFY(driveFound);

    // The copy runs in blocks of 63 sectors; what lies past the volume's end reads as zeros.
    std::vector<uint8_t> expected = volume.bytes;
    expected.resize((expected.size() / 512 + 62) / 63 * 63 * 512);
    QVERIFY(test::ReadWholeFile(image.toStdString()) == expected && answers.texts.isEmpty());
    const QTreeWidgetItem* row = frame.ProcessLog()->topLevelItem(frame.ProcessLog()->topLevelItemCount() - 1);
    QVERIFY2(row->text(0).startsWith(u"Completed Imaging Disk :"_s + loop + u" ("_s) && row->text(1) == u"To Location "_s + folder.path(),
             qPrintable(row->text(0) + u" | "_s + row->text(1)));

    QVERIFY(frame.Engine().scanRoot == shownRoot && frame.ScanInfoUnsaved());
    const QString scanPath = folder.filePath(u"scan.qxs"_s);
    QVERIFY(frame.SaveScanInfoFile(scanPath));
    EngineState reread;
    QCOMPARE(ReadScanInfo(reread, scanPath.toStdString()), 1);
    QCOMPARE(test::TreeLines(reread), shownLines);
  }
};

QTEST_MAIN(CreateImageTest)
#include "CreateImageTest.moc"
