// SPDX-License-Identifier: GPL-3.0-or-later
// The Create Image page: the proposed name and the free-space text, the order in which drive and
// destination must be chosen, a destination on the imaged drive refused, and Finish opening the
// drive apart from the engine state of the shown scan.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

#include "CWizardImagePage.h"
#include "FatImageBuilder.h"
#include "ImageDestination.h"
#include "PageTestHost.h"

using namespace restora;

class ImagePageTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_folder;

  // A page offering one FAT32 volume (an image file standing in for the device) and another
  // that cannot be opened.
  struct Shown {
    test::PageTestHost host;
    CWizardImagePage page;
    QString chosenPath;
    Shown(const QString& volume, const QString& destination)
        : page(host, {{QStringLiteral("Disk # 0 [Test disk]"),
                       {{QStringLiteral("%1 (4.00 MB))").arg(volume), QStringLiteral("DATA"), QStringLiteral("FAT32"),
                         QStringLiteral("1234ABCD"), QStringLiteral("3.00 MB"), QStringLiteral("512.00 B"), volume},
                        {QStringLiteral("/nonexistent/sdz1 (1.00 GB)"), {}, {}, {}, {}, {}, QStringLiteral("/nonexistent/sdz1")}}}}),
          chosenPath(destination) {
      page.setFileChooser([this](QWidget*, const QString&) { return chosenPath; });
      page.setClock([] { return QDateTime(QDate(2026, 9, 3), QTime(10, 0)); });
      page.setFreeSpaceQuery([](const QString&) { return std::optional<uint64_t>(); });
      page.show();
      page.initializePage();
    }
    QTreeWidgetItem* drive(int index) { return page.driveTree()->topLevelItem(0)->child(0)->child(index); }
  };

  QString makeVolume() {
    const QString path = m_folder.filePath(QStringLiteral("volume.img"));
    std::vector<uint8_t> bytes = test::FatImageBuilder::Fat32(8192).Take();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }

 private slots:
  void proposedName_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("September") << QDate(2026, 9, 3) << "Ferrolin Restora Image # Thu, 03-Sept-2026";
    QTest::newRow("Saturday") << QDate(2026, 12, 5) << "Ferrolin Restora Image # Sat, 05-Dec-2026";
    QTest::newRow("Sunday") << QDate(2027, 1, 31) << "Ferrolin Restora Image # Sun, 31-Jan-2027";
  }
  void proposedName() {
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(ProposedImageFileName(date), name);
  }

  void freeSpace_data() {
    QTest::addColumn<qulonglong>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown") << 0ull << "Space Available :   0.000 KB";
    QTest::newRow("below a MiB") << 1048575ull << "Space Available : 1023.999 KB";
    QTest::newRow("one MiB") << 1048576ull << "Space Available :   1.000 MB";
    QTest::newRow("one GiB") << 1073741824ull << "Space Available :   1.000 GB";
    QTest::newRow("large") << 5000000000000ull << "Space Available : 4656.613 GB";
  }
  void freeSpace() {
    QFETCH(qulonglong, bytes);
    QFETCH(QString, text);
    QCOMPARE(FreeSpaceText(bytes), text);
  }

  void driveThenDestinationEnableFinish() {
    const QString volume = makeVolume();
    const QString target = m_folder.filePath(QStringLiteral("copy.qxi"));
    Shown shown(volume, target);
    QVERIFY(!shown.page.destinationButton()->isEnabled());
    QCOMPARE(shown.page.informationPanel()->item(0)->text(), QStringLiteral("Steps to proceed. "));

    shown.page.onDriveChosen(shown.drive(0));
    QVERIFY(shown.page.destinationButton()->isEnabled());
    QVERIFY(!shown.page.isComplete());
    QCOMPARE(shown.drive(0)->checkState(0), Qt::Checked);
    QCOMPARE(shown.page.informationPanel()->item(4)->text(), QStringLiteral("Serial Number: 1234ABCD"));

    shown.page.onDestinationButton();
    QCOMPARE(shown.page.pathLabel()->text(), QStringLiteral("File Path :") + target);
    QCOMPARE(shown.page.spaceLabel()->text(), QStringLiteral("Space Available :   0.000 KB"));
    QVERIFY(shown.page.isComplete());
    QCOMPARE(shown.page.imageFolder(), m_folder.path());
    QCOMPARE(shown.page.imageFileName(), QStringLiteral("copy.qxi"));

    // Another drive keeps the destination; the root item takes the choice away.
    shown.page.onDriveChosen(shown.drive(1));
    QVERIFY(shown.page.isComplete());
    QCOMPARE(shown.drive(0)->checkState(0), Qt::Unchecked);
    shown.page.onDriveChosen(shown.page.driveTree()->topLevelItem(0));
    QVERIFY(!shown.page.isComplete());
    QVERIFY(!shown.page.destinationButton()->isEnabled());

    // Coming back to the page asks for both choices again.
    shown.page.onDriveChosen(shown.drive(0));
    shown.page.initializePage();
    QVERIFY(!shown.page.destinationButton()->isEnabled());
    QVERIFY(!shown.page.pathLabel()->isEnabled());
    shown.page.onDriveChosen(shown.drive(0));
    QVERIFY(!shown.page.isComplete());
    shown.page.onDestinationButton();
    QVERIFY(shown.page.isComplete());
  }

  void finishOpensTheDriveInAStateOfItsOwn() {
    const QString volume = makeVolume();
    Shown shown(volume, m_folder.filePath(QStringLiteral("copy.qxi")));
    shown.host.state.totalBytes = 77;  // stands for the scan shown in the main window

    shown.page.onDriveChosen(shown.drive(1));
    shown.page.onDestinationButton();
    QString message;
    test::AnswerNextMessageBox(&message);
    QVERIFY(!shown.page.validatePage());
    QCOMPARE(message, QStringLiteral("Failed to open drive /nonexistent/sdz1"));
    QVERIFY(!shown.page.isComplete());
    QVERIFY(shown.host.sent.empty());

    shown.page.onDriveChosen(shown.drive(0));
    shown.page.onDestinationButton();
    QVERIFY(shown.page.validatePage());
    QCOMPARE(shown.host.sent.size(), 1u);
    QCOMPARE(shown.host.sent[0].processText, QStringLiteral("Imaging Disk :%1 (4.00 MB)),  Serial:1234ABCD").arg(volume));
    QCOMPARE(shown.host.sent[0].description, QStringLiteral("To Location ") + m_folder.path());
    QCOMPARE(shown.page.imagePath(), m_folder.filePath(QStringLiteral("copy.qxi")));
    std::unique_ptr<EngineState> imaging = shown.page.takeImagingEngine();
    QVERIFY(imaging != nullptr);
    QCOMPARE(imaging->volumeInfo.kind, SourceKind::Fat32);
    QVERIFY(imaging->deviceHandle != nullptr);
    QCOMPARE(shown.host.state.totalBytes, 77u);
    QVERIFY(shown.host.state.deviceHandle == nullptr);
  }

  // A bare name gets ".qxi" while the image filter is chosen, and stays bare under "All Files".
  void saveDialogAddsTheImageSuffix_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("file");
    QTest::newRow("image filter") << 0 << "copy.qxi";
    QTest::newRow("all files") << 1 << "copy";
  }
  void saveDialogAddsTheImageSuffix() {
    QFETCH(int, filter);
    QFETCH(QString, file);
    const QString typed = m_folder.filePath(QStringLiteral("copy"));
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      types->setCurrentIndex(filter);
      emit types->activated(filter);
      emit types->textActivated(types->currentText());
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(CWizardImagePage::AskImageFile(nullptr, QStringLiteral("proposed")), m_folder.filePath(file));
  }

  // As root: a destination on a mounted loop device over the imaged volume, or the device node
  // itself, is refused; a folder elsewhere is fine. (The volume is ext2, which every kernel mounts.)
  void destinationOnTheDriveIsRefused() {
    if (geteuid() != 0) QSKIP("needs root for loop devices and mounts");
    const QString volume = m_folder.filePath(QStringLiteral("ext2.img"));
    QFile image(volume);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(4 << 20)) QFAIL("cannot make the volume file");
    image.close();
    if (QProcess::execute(QStringLiteral("mkfs.ext2"), {QStringLiteral("-q"), QStringLiteral("-F"), volume}) != 0) {
      QSKIP("mkfs.ext2 missing");
    }
    QProcess attach;
    attach.start(QStringLiteral("losetup"), {QStringLiteral("--find"), QStringLiteral("--show"), volume});
    if (!attach.waitForFinished() || attach.exitCode() != 0) QSKIP("no loop device");
    const QString device = QString::fromUtf8(attach.readAllStandardOutput()).trimmed();
    const QString mountPoint = m_folder.filePath(QStringLiteral("mnt"));
    QDir().mkpath(mountPoint);
    const bool mounted = QProcess::execute(QStringLiteral("mount"), {device, mountPoint}) == 0;
    if (mounted) {
      QVERIFY(!ImageDestinationRefusal(device, mountPoint + QStringLiteral("/copy.qxi")).isEmpty());
      QProcess::execute(QStringLiteral("umount"), {mountPoint});
    }
    const QString onDevice = ImageDestinationRefusal(device, device);
    const QString elsewhere = ImageDestinationRefusal(device, m_folder.filePath(QStringLiteral("copy.qxi")));
    QProcess::execute(QStringLiteral("losetup"), {QStringLiteral("-d"), device});
    QVERIFY(mounted);
    QVERIFY(!onDevice.isEmpty());
    QVERIFY2(elsewhere.isEmpty(), qPrintable(elsewhere));
  }
};

QTEST_MAIN(ImagePageTest)
#include "ImagePageTest.moc"
