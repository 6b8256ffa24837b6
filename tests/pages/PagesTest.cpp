// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard's file-type page (ticks kept in the records across the filter, only the check box
// ticks) and image page (the proposed name, drive and destination before Finish, ".qxi" added, a
// destination on the drive refused).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
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
#include "ImageDestination.h"
#include "PageTestHost.h"
#include "TestSupport.h"

using namespace restora;
using namespace Qt::StringLiterals;

namespace {

QString Write(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path.toStdString()).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

struct TypesShown {
  test::PageTestHost host;
  CWizardSignaturesPage page{host};
  explicit TypesShown(std::vector<SignatureRecord> types) {
    for (SignatureRecord& type : host.types = std::move(types)) type.selected = 0;
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

}  // namespace

class PagesTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_folder;

 private slots:
  // Ticks stay in the records across the filter, an equal row keeps its own record, and only a
  // click on the check box ticks, not one on the name.
  void ticksSurviveTheFilter() {
    const SignatureRecord png = test::SearchType("png", {0x89}, 0, 0, "Pictures");
    TypesShown shown({test::SearchType("jpg", {0xFF}, 0, 0, "Pictures"), test::SearchType("pdf", {0x25}, 0, 0, "Documents"), png, png});
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

  // The proposed name; Finish needs a drive and then a destination; a drive that cannot be opened
  // is reported and logs nothing. (Create Image to its end: CreateImageTest.)
  void imagePageFinish() {
    QCOMPARE(ProposedImageFileName(QDate(2026, 9, 3)), u"Ferrolin Restora Image # Thu, 03-Sept-2026"_s);
    test::PageTestHost host;
    CWizardImagePage page(host, {{u"Disk # 0 [Test disk]"_s, {{u"/nonexistent/sdz1 (1.00 GB)"_s, {}, {}, {}, {}, {}, u"/nonexistent/sdz1"_s}}}});
    page.setFileChooser([this](QWidget*, const QString&) { return m_folder.filePath(u"copy.qxi"_s); });
    page.show();
    page.initializePage();
    QVERIFY(!page.destinationButton()->isEnabled());
    page.onDriveChosen(page.driveTree()->topLevelItem(0)->child(0)->child(0));
    QVERIFY(!page.isComplete());
    page.onDestinationButton();
    QVERIFY(page.isComplete());
    QVERIFY(!page.validatePage());
    QCOMPARE(host.errors.size(), 1u);
    QVERIFY(host.errors[0].startsWith(u"Failed to open drive /nonexistent/sdz1\n\n"_s));
    QVERIFY(host.sent.empty() && page.takeImagingEngine() == nullptr);
  }

  // A bare name gets ".qxi" while the image filter is chosen.
  void saveDialogAddsTheImageSuffix() {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      dialog->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(m_folder.filePath(u"copy"_s));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(CWizardImagePage::AskImageFile(nullptr, u"proposed"_s), m_folder.filePath(u"copy.qxi"_s));
  }

  // As root: a destination on a mounted loop device over the imaged volume, or the device node
  // itself, is refused; a folder elsewhere is fine. (The volume is ext2, which every kernel mounts.)
  void destinationOnTheDriveIsRefused() {
    if (geteuid() != 0) QSKIP("needs root for loop devices and mounts");
    const QString volume = Write(m_folder.filePath(u"ext2.img"_s), std::vector<uint8_t>(4 << 20));
    if (QProcess::execute(u"mkfs.ext2"_s, {u"-q"_s, u"-F"_s, volume}) != 0) QSKIP("mkfs.ext2 missing");
    QProcess attach;
    attach.start(u"losetup"_s, {u"--find"_s, u"--show"_s, volume});
    if (!attach.waitForFinished() || attach.exitCode() != 0) QSKIP("no loop device");
    const QString device = QString::fromUtf8(attach.readAllStandardOutput()).trimmed(), mountPoint = m_folder.filePath(u"mnt"_s);
    const bool mounted = QDir().mkpath(mountPoint) && QProcess::execute(u"mount"_s, {device, mountPoint}) == 0;
    const QString onMount = ImageDestinationRefusal(device, mountPoint + u"/copy.qxi"_s);
    if (mounted) QProcess::execute(u"umount"_s, {mountPoint});
    const QString onDevice = ImageDestinationRefusal(device, device);
    const QString elsewhere = ImageDestinationRefusal(device, m_folder.filePath(u"copy.qxi"_s));
    QProcess::execute(u"losetup"_s, {u"-d"_s, device});
    QVERIFY(mounted && !onMount.isEmpty() && !onDevice.isEmpty());
    QVERIFY2(elsewhere.isEmpty(), qPrintable(elsewhere));
  }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
