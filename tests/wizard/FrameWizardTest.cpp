// SPDX-License-Identifier: GPL-3.0-or-later
// Every search job run from the wizard in the main window, as root on loop devices over volumes
// made by mkfs.fat + mtools, mkntfs + ntfs-3g and sfdisk: the process log, the scan tree, and
// the files saved by the window's own Save All Files, each compared by SHA-256 with what was
// written. One window runs the jobs in turn, so from the second on the wizard first offers the
// unsaved scan, which is saved. And the program's start takes the drive inventory.
#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#include "CRecoveryApp.h"
#include "CTXtndTreeView.h"
#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "CWizardSignaturesPage.h"
#include "MainFrame.h"
#include "ProcessLogList.h"
#include "ScanFile.h"

using namespace restora;

namespace {

QByteArray Sha256(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

// A picture of noise ("PNG" or "JPG"), so it spans many clusters.
QByteArray Picture(const char* format) {
  QImage image(200, 150, QImage::Format_RGB32);
  QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(image.bits()), 200 * 150);
  QBuffer buffer;
  return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format, 90) ? buffer.data() : QByteArray();
}

// Found files are named by their sector, which shows as "#": "Raw Data/Photos/png/#.png".
QString Unnumbered(QString path) { return path.replace(QRegularExpression("/\\d+\\."), "/#."); }

// The paths of the tree's files, sorted.
QStringList TreeFiles(const ScanNode* node, const QString& path = {}) {
  QStringList files;
  for (const ScanNode* child = node->firstChild; child != nullptr; child = child->next) {
    const QString name = path + QString::fromStdU16String(child->name);
    files << (child->IsFolderStatus() ? TreeFiles(child, name + u'/') : QStringList{Unnumbered(name)});
  }
  files.sort();
  return files;
}

// The volumes and a partitioned disk, made in the current folder from the files written there.
const char* const kMakeVolumes = R"(
truncate -s 40M fat32.img && mkfs.fat -F 32 -s 1 fat32.img >/dev/null && mmd -i fat32.img ::Trip
mcopy -i fat32.img "wizard note.txt" keep.txt :: && mcopy -i fat32.img "holiday picture.png" ::Trip
mdel -i fat32.img "::wizard note.txt" "::Trip/holiday picture.png"
truncate -s 16M ntfs.img && mkntfs -F -f -q ntfs.img && mkdir mnt
ntfs-3g -o no_detach ntfs.img mnt & driver=$!
trap 'mountpoint -q mnt && umount mnt; wait' EXIT
for _ in $(seq 100); do mountpoint -q mnt && break; sleep 0.1; done
mkdir mnt/Trip && cp "wizard note.txt" keep.txt mnt && cp "holiday picture.png" mnt/Trip
rm "mnt/wizard note.txt" "mnt/Trip/holiday picture.png" && umount mnt && wait $driver
truncate -s 16M part.img && mkfs.fat -F 16 part.img >/dev/null
mcopy -i part.img "holiday picture.jpg" :: && mdel -i part.img "::holiday picture.jpg"
truncate -s 20M disk.img && printf 'label: dos\nstart=2048,size=32768,type=6\n' | sfdisk -q disk.img
dd if=part.img of=disk.img bs=512 seek=2048 conv=notrunc status=none
)";

}  // namespace

class FrameWizardTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_folder;
  QString m_skip;                        // why the jobs cannot run here
  QMap<QString, QString> m_loops;        // "fat32", "ntfs", "disk" → its loop device
  QMap<QString, QByteArray> m_contents;  // file name → what was written
  QStringList m_shown;                   // the files of the scan the window shows
  std::unique_ptr<CMainFrame> m_frame;

 private slots:
  void initTestCase() {
    Q_INIT_RESOURCE(restora);  // the window's icons live in the shell's static library
    qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_folder.filePath("data").toLocal8Bit());
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrolin Restora 1.0", "Ferrolin Restora").setValue("Tips/StartUp", 0);
    if (::geteuid() != 0) return void(m_skip = "needs root to attach loop devices");
    m_contents = {{"wizard note.txt", QByteArray("a note that was deleted\n").repeated(300)}, {"keep.txt", "kept\n"},
                  {"holiday picture.png", Picture("PNG")}, {"holiday picture.jpg", Picture("JPG")}};
    for (const auto& [name, bytes] : m_contents.asKeyValueRange()) {
      QFile file(m_folder.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QProcess make;
    make.setWorkingDirectory(m_folder.path());
    make.start("bash", {"-euc", kMakeVolumes});
    if (!make.waitForFinished(120000) || make.exitCode() != 0) return void(m_skip = "mkfs.fat, mtools, mkntfs, ntfs-3g or sfdisk failed");
    for (const QString volume : {"fat32", "ntfs", "disk"}) {
      QProcess losetup;  // read-only; the disk with its partitions
      losetup.start("losetup", QStringList{"--find", "--show", "-r", m_folder.filePath(volume + ".img")} +
                                   (volume == "disk" ? QStringList{"-P"} : QStringList{}));
      if (!losetup.waitForFinished() || losetup.exitCode() != 0) return void(m_skip = "cannot attach a loop device");
      m_loops[volume] = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
      // The wizard lists these loop devices alone, never this machine's disks.
      CWizardSheet::DefaultInventorySources().onlyDisks.push_back(m_loops[volume].toStdString());
    }
    m_frame = std::make_unique<CMainFrame>();
    m_frame->SetMessageHook([](QMessageBox&) { return int(QMessageBox::No); });  // a failure shows in the checks
    m_frame->show();
  }
  void cleanupTestCase() {
    m_frame.reset();
    for (const QString& loop : m_loops) QProcess::execute("losetup", {"-d", loop});
  }

  void jobFromWizard_data() {
    QTest::addColumn<int>("job");
    QTest::addColumn<QString>("volume");
    QTest::addColumn<QString>("type");       // the one file type ticked
    QTest::addColumn<QStringList>("rows");   // the job's process-log rows; LABEL is its source
    QTest::addColumn<QStringList>("files");  // the files in the tree, all saved
    QTest::addColumn<int>("saved");          // the files and folders saved
    const QString fast = " | Disk Processing: Fast File Search", lost = " | Disk Processing: Lost File Search";
    const QStringList scan = {"Selected LABEL" + fast, "Processing directory structure for LABEL" + fast,
                              "Completed Processing directory structure for LABEL" + fast};
    const QStringList search = {"Selected LABEL" + lost, "Selected LABEL | 1 file type(s) to search",
                                "Searching for known file type(s) | " + QString(28, u'-'),
                                "Completed searching for known file type(s) | " + QString(28, u'-')};
    const QStringList named = {"Trip/holiday picture.png", "wizard note.txt"};
    QTest::newRow("fast FAT32") << int(kFastFileRecovery) << "fat32" << "" << scan << named << 3;
    QTest::newRow("fast NTFS") << int(kFastFileRecovery) << "ntfs" << "" << scan << named << 3;
    QTest::newRow("lost FAT32") << int(kLostFileRecovery) << "fat32" << "PNG image" << search
                                << QStringList{"Raw Data/Photos/png/#.png"} + named << 7;
    QTest::newRow("advanced disk") << int(kAdvancedFileRecovery) << "disk" << "JPEG image (JFIF)" << search
                                   << QStringList{"Raw Data/Photos/jpg/#.jpg"} << 4;
  }
  void jobFromWizard() {
    if (!m_skip.isEmpty()) QSKIP(qPrintable(m_skip));
    QFETCH(int, job);
    QFETCH(QString, volume);
    QFETCH(QString, type);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, files);
    QFETCH(int, saved);
    CMainFrame& frame = *m_frame;
    const QString folder = m_folder.filePath(QTest::currentDataTag()), scanFile = folder + ".qxs";
    frame.SetPathHook([&](const QString& kind) { return kind == "destination" ? folder : kind == "save-scan" ? scanFile : ""; });
    const QStringList questions = frame.ScanInfoUnsaved() ? QStringList{"Do you want to save scan information?"} : QStringList{};
    const int firstRow = frame.ProcessLog()->topLevelItemCount();
    QStringList asked;
    QString label;
    QTimer::singleShot(0, this, [&] {
      auto* sheet = qobject_cast<CWizardSheet*>(QApplication::activeModalWidget());
      QVERIFY(sheet != nullptr);
      const auto close = qScopeGuard([sheet] {  // after a failed step
        if (sheet->isVisible()) static_cast<QDialog*>(sheet)->done(QDialog::Rejected);
      });
      sheet->setPrompt([&](QMessageBox::Icon, const QString&, const QString& text, QMessageBox::StandardButtons) {
        return asked << text, QMessageBox::Yes;
      });
      static_cast<CWizardMainPage*>(sheet->page(CWizardSheet::kMainPage))->optionButton(job)->click();
      sheet->next();
      auto* drives = static_cast<CWizardDriveSelectionPage*>(sheet->currentPage());
      for (QTreeWidgetItemIterator item(drives->tree()); *item != nullptr; ++item) {  // the loop device's item
        const int index = (*item)->data(0, CWizardDriveSelectionPage::kIndexRole).toInt();
        if (index < 0 || (job == kAdvancedFileRecovery ? sheet->inventory.disks[index].devicePath
                                                       : sheet->inventory.logicalDrives[index].devicePath) != m_loops[volume].toStdString()) {
          continue;
        }
        label = (*item)->text(0);
        drives->tree()->setCurrentItem(*item);
      }
      if (!type.isEmpty()) {
        sheet->next();
        QTableWidget* types = sheet->fileTypePage()->typeList();
        sheet->fileTypePage()->onDeselectAll();
        const QList<QTableWidgetItem*> found = types->findItems(type, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        types->scrollToItem(found[0]);
        QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, types->visualItemRect(found[0]).topLeft() + QPoint(3, 6));
      }
      sheet->button(QWizard::FinishButton)->click();
    });
    frame.OnRunWizard();
    QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 60000);
    QCOMPARE(asked, questions);
    if (!questions.isEmpty()) {  // the scan shown before was saved whole
      EngineState reread;
      QCOMPARE(ReadScanInfo(reread, scanFile.toStdString()), 1);
      QCOMPARE(TreeFiles(reread.scanRoot), m_shown);
    }
    QVERIFY(frame.TreeView()->HasItems());
    QCOMPARE(m_shown = TreeFiles(frame.Engine().scanRoot), files);

    // Save All Files, as the user would: tick "Root" and choose a folder.
    QVERIFY(QDir().mkpath(folder));
    QTreeView* tree = frame.TreeView()->Tree();
    tree->model()->setData(tree->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    frame.Command("SaveAllFiles")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!frame.JobRunning(), 60000);
    QStringList written;
    for (QDirIterator it(folder + "/#", QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
      QFile file(it.next());
      const QString path = it.filePath().mid(folder.size() + 3);
      const QString name = path.startsWith("Raw Data/") ? "holiday picture." + path.section(u'.', -1) : path.section(u'/', -1);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QVERIFY2(Sha256(file.readAll()) == Sha256(m_contents.value(name)), qPrintable(path));
      written << Unnumbered(path);
    }
    written.sort();
    QCOMPARE(written, files);
    rows << "Saving checked entries to " + folder + " | " + QString(28, u'-')
         << QString("Completed saving checked entries to %1 | %2 written, 0 incomplete, 0 failed").arg(folder).arg(saved);
    QStringList logged;
    for (int i = firstRow; i < frame.ProcessLog()->topLevelItemCount(); ++i) {
      logged << frame.ProcessLog()->topLevelItem(i)->text(0) + " | " + frame.ProcessLog()->topLevelItem(i)->text(1);
    }
    QCOMPARE(logged, rows.replaceInStrings("LABEL", label));
  }

  // Starting the program takes the drive inventory (of a fixture machine here) and keeps it; one
  // that cannot be taken is told.
  void startTakesTheDriveInventory() {
    InventorySources& sources = CWizardSheet::DefaultInventorySources();
    const auto restore = qScopeGuard([&, loops = sources] { sources = loops; });
    const std::string machine = RESTORA_SOURCE_DIR "/tests/drives/fixtures/machine";
    const QStringList fixtureDisks = {"Disk # 0 (74.53 GB)", "Disk # 1 (1.00 GB)", "Disk # 2 (14.84 GB)", "Disk # 3 (10.00 MB))"};
    for (const std::string& sys : {machine + "/sys", std::string("/nonexistent")}) {
      sources = {sys, machine + "/udev", "/none", machine + "/dev", {}};
      QString told;
      if (sys == "/nonexistent") {
        QTimer::singleShot(0, [&] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) told = box->text(), box->accept();
        });
      }
      CRecoveryApp app;
      QVERIFY(app.InitInstance(m_folder.path()));
      QStringList disks;
      for (const DiskRecord& disk : CWizardSheet::Kept().drives.disks) disks << QString::fromStdString(disk.label);
      QCOMPARE(disks, sys == "/nonexistent" ? QStringList{} : fixtureDisks);
      QCOMPARE(told.startsWith("Failed to read the drive inventory: "), sys == "/nonexistent");
    }
  }
};

QTEST_MAIN(FrameWizardTest)
#include "FrameWizardTest.moc"
