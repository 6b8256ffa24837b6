// SPDX-License-Identifier: GPL-3.0-or-later
// Create Image from the wizard after a scan (as root, of a loop device over a test volume): the
// image equals the volume byte for byte, and the scan shown before it stays in the window, still
// unsaved, and saves whole.
#include <QAbstractButton>
#include <QFile>
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
#include "ScanFile.h"
#include "ShellTestSupport.h"

using namespace restora;

class CreateImageTest : public QObject {
  Q_OBJECT

 private slots:
  void imageLeavesTheShownScanAlone() {
    if (geteuid() != 0) QSKIP("needs root to attach a loop device");
    QTemporaryDir folder;
    const test::ShellVolume volume = test::BuildShellVolume();
    const QString volumePath = folder.filePath(QStringLiteral("volume.img"));
    {
      QFile file(volumePath);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(volume.bytes.data()), static_cast<qint64>(volume.bytes.size()));
    }
    QProcess losetup;
    losetup.start(QStringLiteral("losetup"), {QStringLiteral("--find"), QStringLiteral("--show"), volumePath});
    if (!losetup.waitForFinished() || losetup.exitCode() != 0) QSKIP("cannot attach a loop device");
    const QString loop = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    const auto detach = qScopeGuard([&] { QProcess::execute(QStringLiteral("losetup"), {QStringLiteral("-d"), loop}); });

    CMainFrame frame;
    test::Answers answers;
    answers.Install(frame);
    frame.show();
    QVERIFY(frame.ProcessImageFile(volumePath));
    const ScanNode* shownRoot = frame.Engine().scanRoot;
    const auto countNodes = [](const ScanNode* root) {
      size_t count = 0;
      std::vector<const ScanNode*> pending{root};
      while (!pending.empty()) {
        const ScanNode* node = pending.back();
        pending.pop_back();
        ++count;
        for (const ScanNode* child = node->firstChild; child != nullptr; child = child->next) pending.push_back(child);
      }
      return count;
    };
    const size_t shownNodes = countNodes(frame.Engine().scanRoot);
    QVERIFY(shownRoot != nullptr);
    QVERIFY(frame.ScanInfoUnsaved());

    bool driveFound = false;
    QTimer::singleShot(0, [&] {
      auto* sheet = qobject_cast<CWizardSheet*>(QApplication::activeModalWidget());
      if (sheet == nullptr) return;
      qobject_cast<CWizardMainPage*>(sheet->page(CWizardSheet::kMainPage))->optionButton(kCreateImage)->click();
      sheet->button(QWizard::NextButton)->click();
      auto* page = qobject_cast<CWizardImagePage*>(sheet->currentPage());
      QTreeWidgetItemIterator item(page->driveTree());
      while (*item != nullptr && !(*item)->text(0).startsWith(loop + QStringLiteral(" ("))) ++item;
      driveFound = *item != nullptr;
      if (driveFound) {
        page->onDriveChosen(*item);
        page->setFileChooser([&](QWidget*, const QString&) { return folder.filePath(QStringLiteral("copy.qxi")); });
        page->onDestinationButton();
        sheet->button(QWizard::FinishButton)->click();
      }
      if (sheet->isVisible()) static_cast<QDialog*>(sheet)->done(QDialog::Rejected);
    });
    frame.OnRunWizard();
    QVERIFY(driveFound);

    QFile image(folder.filePath(QStringLiteral("copy.qxi")));
    QVERIFY(image.open(QIODevice::ReadOnly));
    const QByteArray copied = image.readAll();
    // The copy runs in blocks of 63 sectors; what lies past the volume's end reads as zeros.
    const auto size = static_cast<qsizetype>(volume.bytes.size());
    QCOMPARE(copied.size(), (size / 512 + 62) / 63 * 63 * 512);
    QCOMPARE(copied.left(size), QByteArray(reinterpret_cast<const char*>(volume.bytes.data()), size));
    QCOMPARE(copied.mid(size).count('\0'), copied.size() - size);
    QVERIFY(answers.texts.isEmpty());

    QCOMPARE(frame.Engine().scanRoot, shownRoot);
    QVERIFY(frame.ScanInfoUnsaved());
    const QString scanPath = folder.filePath(QStringLiteral("scan.qxs"));
    QVERIFY(frame.SaveScanInfoFile(scanPath));
    EngineState reread;
    QCOMPARE(ReadScanInfo(reread, scanPath.toStdString()), 1);
    QVERIFY(reread.scanRoot != nullptr);
    QCOMPARE(countNodes(reread.scanRoot), shownNodes);
    QVERIFY(shownNodes > 5);
  }
};

QTEST_MAIN(CreateImageTest)
#include "CreateImageTest.moc"
