// SPDX-License-Identifier: GPL-3.0-or-later
// Create Image after a scan: the image equals the volume byte for byte, and the scan shown before
// it stays in the window, still unsaved, and saves whole.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "MainFrame.h"
#include "ScanFile.h"
#include "ShellTestSupport.h"

using namespace restora;

class CreateImageTest : public QObject {
  Q_OBJECT

 private slots:
  void imageLeavesTheShownScanAlone() {
    QTemporaryDir folder;
    const test::ShellVolume volume = test::BuildShellVolume();
    const QString volumePath = folder.filePath(QStringLiteral("volume.img"));
    {
      QFile file(volumePath);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(volume.bytes.data()), static_cast<qint64>(volume.bytes.size()));
    }
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

    QTimer::singleShot(0, [&] {
      auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (chooser == nullptr) return;
      for (QRadioButton* job : chooser->findChildren<QRadioButton*>()) {
        if (job->text() == QLatin1String("Create Image")) job->click();
      }
      const QList<QLineEdit*> edits = chooser->findChildren<QLineEdit*>();
      edits.at(0)->setText(volumePath);
      edits.at(1)->setText(folder.path());
      edits.at(2)->setText(QStringLiteral("copy.qxi"));
      chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    frame.OnRunWizard();

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
