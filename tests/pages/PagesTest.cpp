// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard's file-type page (ticks kept in the records across the filter, only the check box
// ticks, Finish hands the ticked types to the engine) and image page (the proposed name, drive
// and destination before Finish, the drive opened apart from the shown scan, ".qxi" added, a
// destination on the drive refused).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <unistd.h>

#include "CWizardImagePage.h"
#include "CWizardSignaturesPage.h"
#include "FatImageBuilder.h"
#include "ImageDestination.h"
#include "PageTestHost.h"
#include "SignatureFile.h"

using namespace restora;
using restora::test::Type;

namespace {

QString Write(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path.toStdString()).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

struct TypesShown {
  test::PageTestHost host;
  CWizardSignaturesPage page{host};
  explicit TypesShown(std::vector<SignatureRecord> types) {
    host.types = std::move(types);
    page.resize(640, 420);
    page.show();
    page.initializePage();
  }
  QTableWidget* list() { return page.typeList(); }
  void filter(const QString& category) { page.categoryBox()->setCurrentText(category); }
  // Clicks row's first cell x pixels from its left edge: the check box at 5, the name beyond.
  void click(int row, int x) {
    const QRect cell = list()->visualRect(list()->model()->index(row, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + x, cell.center().y()));
  }
  bool ticked(int row) { return list()->item(row, 0)->checkState() == Qt::Checked; }
};

// An image page offering one FAT32 volume (an image file standing in for the device) and one
// that cannot be opened; the file chooser answers destination.
struct ImageShown {
  test::PageTestHost host;
  CWizardImagePage page;
  ImageShown(const QString& volume, const QString& destination)
      : page(host, {{QStringLiteral("Disk # 0 [Test disk]"),
                     {{volume + QStringLiteral(" (4.00 MB))"), QStringLiteral("DATA"), QStringLiteral("FAT32"),
                       QStringLiteral("1234ABCD"), QStringLiteral("3.00 MB"), QStringLiteral("512.00 B"), volume},
                      {QStringLiteral("/nonexistent/sdz1 (1.00 GB)"), {}, {}, {}, {}, {}, QStringLiteral("/nonexistent/sdz1")}}}}) {
    page.setFileChooser([destination](QWidget*, const QString&) { return destination; });
    page.show();
    page.initializePage();
  }
  QTreeWidgetItem* drive(int index) { return page.driveTree()->topLevelItem(0)->child(0)->child(index); }
};

}  // namespace

class PagesTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_folder;

 private slots:
  // Ticks stay in the records across the filter, an equal row keeps its own record, and only a
  // click on the check box ticks, not one on the name.
  void ticksSurviveTheFilter() {
    TypesShown shown({Type("JPEG", "jpg", "Pictures"), Type("PDF", "pdf", "Documents"), Type("PNG", "png", "Pictures"),
                      Type("PNG", "png", "Pictures")});
    shown.filter("Pictures");
    QCOMPARE(shown.list()->rowCount(), 3);
    shown.click(1, 80);
    QVERIFY(!shown.ticked(1) && !shown.page.isComplete());
    shown.click(1, 5);
    QVERIFY(shown.page.isComplete());
    shown.filter("Documents");
    shown.filter("Pictures");
    QVERIFY(!shown.ticked(0) && shown.ticked(1) && !shown.ticked(2));
    shown.filter("All");
    QVERIFY(shown.ticked(2) && !shown.ticked(3));
    QVERIFY(shown.host.types[2].selected == 1 && shown.host.types[3].selected == 0);
    shown.click(2, 5);
    QVERIFY(shown.host.types[2].selected == 0 && !shown.page.isComplete());
  }

  void finishHandsTheTickedTypesToTheEngine() {
    test::PageTestHost host;
    QVERIFY(OpenSignatureFile(host.state, std::filesystem::path(RESTORA_SIGNATURE_FILE).parent_path()));
    QVERIFY(ReadSignatureList(host.state));
    const std::vector<SignatureRecord> known = host.state.signatureList;
    TypesShown shown(known);
    shown.page.onDeselectAll();
    shown.click(0, 5);
    shown.click(2, 5);
    shown.page.sizeBox()->setText(QStringLiteral("4096000"));
    QVERIFY(shown.page.validatePage());
    QCOMPARE(shown.host.state.signatureList.size(), 2u);
    QCOMPARE(shown.host.state.signatureList[0].TypeNameText(), known[2].TypeNameText());
    QCOMPARE(shown.host.state.signatureList[0].maxSizeMiB, 4000u);
    QCOMPARE(shown.host.sent.size(), 1u);
    QCOMPARE(shown.host.sent[0].description, QStringLiteral("2 file type(s) to search"));
  }

  // Finish needs a drive and then a destination, again after coming back; a drive that cannot
  // be opened is reported; Finish opens the drive in a state of its own.
  void imagePageFinish() {
    const QString volume = Write(m_folder.filePath(QStringLiteral("volume.img")), test::FatImageBuilder::Fat32(8192).Take());
    const QString target = m_folder.filePath(QStringLiteral("copy.qxi"));
    QCOMPARE(ProposedImageFileName(QDate(2026, 9, 3)), QStringLiteral("Ferrolin Restora Image # Thu, 03-Sept-2026"));
    ImageShown shown(volume, target);
    shown.host.state.totalBytes = 77;  // stands for the scan shown in the main window
    QVERIFY(!shown.page.destinationButton()->isEnabled());
    shown.page.onDriveChosen(shown.drive(1));
    QVERIFY(!shown.page.isComplete());
    shown.page.onDestinationButton();
    QVERIFY(shown.page.isComplete());
    QString message;  // of the box that opens next, which is answered
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) message = box->text(), box->accept();
    });
    QVERIFY(!shown.page.validatePage());
    QCOMPARE(message, QStringLiteral("Failed to open drive /nonexistent/sdz1"));
    QVERIFY(shown.host.sent.empty());

    shown.page.initializePage();
    QVERIFY(!shown.page.destinationButton()->isEnabled());
    shown.page.onDriveChosen(shown.drive(0));
    QVERIFY(!shown.page.isComplete());
    shown.page.onDestinationButton();
    QVERIFY(shown.page.validatePage());
    QCOMPARE(shown.host.sent.size(), 1u);
    QCOMPARE(shown.host.sent[0].processText, QStringLiteral("Imaging Disk :%1 (4.00 MB)),  Serial:1234ABCD").arg(volume));
    QCOMPARE(shown.page.imagePath(), target);
    std::unique_ptr<EngineState> imaging = shown.page.takeImagingEngine();
    QVERIFY(imaging != nullptr && imaging->deviceHandle != nullptr);
    QCOMPARE(imaging->volumeInfo.kind, SourceKind::Fat32);
    QCOMPARE(shown.host.state.totalBytes, 77u);
    QVERIFY(shown.host.state.deviceHandle == nullptr);
  }

  // A bare name gets ".qxi" while the image filter is chosen.
  void saveDialogAddsTheImageSuffix() {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(m_folder.filePath(QStringLiteral("copy")));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(CWizardImagePage::AskImageFile(nullptr, QStringLiteral("proposed")), m_folder.filePath(QStringLiteral("copy.qxi")));
  }

  // As root: a destination on a mounted loop device over the imaged volume, or the device node
  // itself, is refused; a folder elsewhere is fine. (The volume is ext2, which every kernel mounts.)
  void destinationOnTheDriveIsRefused() {
    if (geteuid() != 0) QSKIP("needs root for loop devices and mounts");
    const QString volume = Write(m_folder.filePath(QStringLiteral("ext2.img")), std::vector<uint8_t>(4 << 20));
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
    const QString onMount = ImageDestinationRefusal(device, mountPoint + QStringLiteral("/copy.qxi"));
    if (mounted) QProcess::execute(QStringLiteral("umount"), {mountPoint});
    const QString onDevice = ImageDestinationRefusal(device, device);
    const QString elsewhere = ImageDestinationRefusal(device, m_folder.filePath(QStringLiteral("copy.qxi")));
    QProcess::execute(QStringLiteral("losetup"), {QStringLiteral("-d"), device});
    QVERIFY(mounted);
    QVERIFY(!onMount.isEmpty() && !onDevice.isEmpty());
    QVERIFY2(elsewhere.isEmpty(), qPrintable(elsewhere));
  }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
