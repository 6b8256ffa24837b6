// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program driven as a user drives it: the progress dialog, scans of image files
// (one volume, or a disk whose partition is chosen), scan information saved and reopened, checked
// entries saved, the process log, stopping a job and closing the window.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "CTXtndTreeView.h"
#include "ProcessLogList.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "ThreadControllerDialog.h"
#include "VolumeAccess.h"

using namespace restora;
using namespace restora::test;

namespace {

// What restora-cli lists of a source or a scan file, as TreeLines lists the window's tree.
QStringList CliLines(const QStringList& arguments) {
  QProcess cli;
  cli.start(QStringLiteral(RESTORA_CLI), arguments + QStringList{QStringLiteral("--list")});
  cli.waitForFinished(60000);
  QString text = QString::fromUtf8(cli.readAllStandardOutput());
  // Without the overwritten share ("0% "), as TreeLines lists.
  text.replace(QRegularExpression(QStringLiteral("(?m)^(\\S+ \\d+) \\d+% ")), QStringLiteral("\\1 "));
  return text.split(u'\n', Qt::SkipEmptyParts);
}

QStringList WindowLines(CMainFrame& frame) {
  QStringList lines;
  for (const std::string& line : TreeLines(frame.Engine())) lines << QString::fromStdString(line);
  return lines;
}

// The totals pane's text for the files and folders of a listing.
QString TotalsOf(const QStringList& lines) {
  uint64_t bytes = 0;
  uint32_t files = 0, folders = 0;
  for (const QString& line : lines) {
    const bool folder = line.section(u' ', 0, 0).endsWith(QStringLiteral("folder"));
    ++*(folder ? &folders : &files);
    if (!folder) bytes += line.section(u' ', 1, 1).toULongLong();
  }
  return CMainFrame::TotalsText(1, bytes, files, folders);
}

// The text and state of the process log's last row.
std::pair<QString, LogState> LastRow(CMainFrame& frame) {
  const QTreeWidgetItem* last = frame.ProcessLog()->topLevelItem(frame.ProcessLog()->topLevelItemCount() - 1);
  return {last->text(0), static_cast<LogState>(last->data(0, Qt::UserRole).toInt())};
}

// Ticks the folder "Docs" in the window's tree, as a user clicking its box does.
void CheckDocs(CMainFrame& frame) {
  QAbstractItemModel* model = frame.TreeView()->Tree()->model();
  model->setData(model->index(0, 0, model->index(0, 0)), Qt::Checked, Qt::CheckStateRole);
}

// An MBR disk: the shell's FAT16 volume as partition 1 and a FAT32 volume holding the deleted
// "Second.txt" as partition 2.
std::vector<uint8_t> TwoPartitionDisk(const ShellVolume& first) {
  FatImageBuilder second = FatImageBuilder::Fat32(8192);
  FatEntry entry;
  entry.longName = u"Second.txt";
  entry.deleted = true;
  second.AddFile(second.RootFolder(), entry, FatImageBuilder::Pattern(2000, 7));
  const std::vector<uint8_t> parts[] = {first.bytes, second.Take()};
  std::vector<uint8_t> disk(512 * 2048);
  for (int i = 0; i < 2; ++i) {
    const uint32_t fields[] = {static_cast<uint32_t>(disk.size() / 512), static_cast<uint32_t>(parts[i].size() / 512)};
    disk[446 + 16 * i + 4] = i == 0 ? 0x0E : 0x0C;
    for (int b = 0; b < 8; ++b) disk[446 + 16 * i + 8 + b] = static_cast<uint8_t>(fields[b / 4] >> (8 * (b % 4)));
    disk.insert(disk.end(), parts[i].begin(), parts[i].end());
  }
  disk[510] = 0x55;
  disk[511] = 0xAA;
  return disk;
}

// Runs a directory scan of bytes in frame through a held reader; during(reader) is called once
// the job waits in its n-th read.
void RunHeld(CMainFrame& frame, std::vector<uint8_t> bytes, uint64_t n, const std::function<void(HeldReader&)>& during) {
  auto source = std::make_unique<HeldReader>(std::move(bytes));
  HeldReader& reader = *source;
  CleanUp(frame.Engine());
  QVERIFY(OpenSource(frame.Engine(), OpenMode::Image, std::move(source)) == 1);
  reader.HoldRead(n);
  QTimer::singleShot(0, [&] { WaitFor([&] { return reader.held.load(); }); during(reader); });
  frame.OnStartJob(JobKind::DirectoryScanJob);
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  ShellVolume m_volume = BuildShellVolume();
  QString m_image;

  // folder/# holds the deleted files below "Docs", each as it was written, and no other.
  void VerifySaved(const QString& folder) {
    for (const auto& [path, content] : m_volume.deletedFiles) {
      const QString file = folder + QStringLiteral("/#/") + QString::fromStdString(path);
      QVERIFY2(ReadWholeFile(file.toStdString()) == (path.starts_with("Docs/") ? content : std::vector<uint8_t>()), path.c_str());
    }
  }

 private slots:
  void initTestCase() { m_image = WriteFile(m_dir.filePath(QStringLiteral("volume.qxi")), m_volume.bytes); }

  // The percentage and the bar at 25, 99 and 100 %, past 2^31 sectors, and without a total.
  void percent() {
    const struct {
      quint64 done, total;
      const char* shown;
    } cases[] = {{50, 200, "25%"}, {199, 200, "99%"}, {200, 200, "100%"}, {quint64(3) << 31, quint64(1) << 33, "75%"}, {0, 0, "10%"}};
    CThreadControllerDialog dialog;
    for (const auto& c : cases) {
      dialog.Prepare();
      dialog.OnSetProgress(10, 100);
      dialog.OnSetProgress(c.done, c.total);
      QCOMPARE(dialog.PercentText(), QString::fromLatin1(c.shown));
      QCOMPARE(dialog.BarValue(), QString::fromLatin1(c.shown).chopped(1).toInt());
    }
  }

  // The tree and the totals pane show what restora-cli lists; the process log saves as stored;
  // a file that is no volume is refused.
  void scanOfAnImageFile() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    frame.ProcessLog()->SetClock([] { return QDateTime(QDate(2006, 12, 5), QTime(14, 3, 59)); });
    QVERIFY(frame.ProcessImageFile(m_image));
    const QStringList listed = CliLines({QStringLiteral("scan"), m_image});
    QCOMPARE(WindowLines(frame), listed);
    QCOMPARE(frame.PaneText(1), TotalsOf(listed));
    QCOMPARE(LastRow(frame).second, LogState::Completed);

    // The saved log is the stored text; a log that cannot be written says so.
    const QString logPath = m_dir.filePath(QStringLiteral("log.txt"));
    frame.SetPathHook([&](const QString&) { return logPath; });
    frame.OnSaveProcessLog();
    QFile expected(QStringLiteral(RESTORA_SHELL_TEST_DIR "/expected_process_log.txt")), log(logPath);
    QVERIFY(expected.open(QIODevice::ReadOnly) && log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), expected.readAll().replace("/tmp/disk.qxi", m_image.toUtf8()));
    frame.SetPathHook([&](const QString&) { return m_dir.filePath(QStringLiteral("missing/log.txt")); });
    frame.OnSaveProcessLog();
    QCOMPARE(answers.texts, QStringList{QStringLiteral("Error creating log file")});
    QVERIFY(!frame.ProcessImageFile(WriteFile(m_dir.filePath(QStringLiteral("junk.qxi")), std::vector<uint8_t>(4096, 0x5a))));
    QCOMPARE(answers.texts.last(), QStringLiteral("Failed to open image file or image file is not valid"));
  }

  // The files below the ticked folder are saved as they were; a failed write keeps the scan
  // unsaved; the reopened scan is what restora-cli shows, with its ticks, and saves only from
  // its own source; a new scan replaces it with the views open.
  void saveFilesAndScanInformation() {
    const QString saved = m_dir.filePath(QStringLiteral("scan.qxs"));
    QString selection;
    {
      CMainFrame frame;
      Answers answers;
      answers.Install(frame);
      QVERIFY(frame.ProcessImageFile(m_image));
      CheckDocs(frame);
      selection = frame.PaneText(2);
      frame.SetPathHook([&](const QString&) { return m_dir.filePath(QStringLiteral("first")); });
      QDir().mkpath(m_dir.filePath(QStringLiteral("first")));
      frame.Command(QStringLiteral("SaveSelectedFiles"))->trigger();
      VerifySaved(m_dir.filePath(QStringLiteral("first")));
      QVERIFY(LastRow(frame).first.startsWith(QStringLiteral("Completed saving checked entries to ")));
      // Closing asks to save; Yes with a save that fails keeps the window open and the scan unsaved.
      frame.show();
      answers.answer = QMessageBox::Yes;
      frame.SetPathHook([&](const QString&) { return m_dir.filePath(QStringLiteral("missing/scan.qxs")); });
      QVERIFY(!frame.close());
      QCOMPARE(answers.texts.first(), QStringLiteral("Do you want to save scan information?"));
      QCOMPARE(answers.texts.size(), 2);
      QVERIFY(frame.ScanInfoUnsaved());
      QVERIFY(frame.SaveScanInfoFile(saved));
      QVERIFY(!frame.ScanInfoUnsaved());
      QVERIFY(frame.close());
    }
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    QVERIFY(frame.OpenScanInfoFile(saved));
    QCOMPARE(WindowLines(frame), CliLines({QStringLiteral("show"), saved}));
    QCOMPARE(frame.PaneText(2), selection);
    QVERIFY(!frame.OpenScanInfoFile(m_image));
    QVERIFY(answers.texts.last().startsWith(QStringLiteral("Failed to open scan information file")));
    QVERIFY(frame.TreeView()->HasItems());

    const QString again = m_dir.filePath(QStringLiteral("again"));
    QDir().mkpath(again);
    QString source = WriteFile(m_dir.filePath(QStringLiteral("other.qxi")), FatImageBuilder::Fat16(8192).Take());
    frame.SetPathHook([&](const QString& kind) { return kind == QStringLiteral("source") ? source : again; });
    frame.OnSaveCheckedEntries();
    QVERIFY(answers.texts.last().contains(QStringLiteral("another volume")));
    QVERIFY(!QDir(again + QStringLiteral("/#")).exists());
    source = m_image;
    frame.OnSaveCheckedEntries();
    VerifySaved(again);
    QVERIFY(frame.ProcessImageFile(m_image));
    QVERIFY(frame.PaneText(2) != selection);
  }

  // Image Processing of a disk asks which partition (0: all, -1: Cancel); a volume is not asked.
  void partitionChoice() {
    const QString diskImage = WriteFile(m_dir.filePath(QStringLiteral("disk.img")), TwoPartitionDisk(m_volume));
    const struct {
      bool disk;
      int answer;
      QString listed;
    } cases[] = {{true, 2, QStringLiteral("deleted-file 2000 Second.txt")},
                 {true, 0, QStringLiteral("Partition 2 (FAT32)/Second.txt")},
                 {true, -1, QString()},
                 {false, -1, QStringLiteral("Docs/Old/A.bin")}};
    for (const auto& c : cases) {
      CMainFrame frame;
      Answers answers;
      answers.Install(frame);
      int rows = 0;
      frame.SetPartitionHook([&](CPartitionChoiceDialog& dialog) {
        rows = dialog.findChild<QListWidget*>()->count();
        if (c.answer >= 0) dialog.Select(static_cast<uint32_t>(c.answer));
        return c.answer >= 0 ? int(QDialog::Accepted) : int(QDialog::Rejected);
      });
      QCOMPARE(frame.ProcessImageFile(c.disk ? diskImage : m_image), !c.listed.isEmpty());
      QCOMPARE(rows, c.disk ? 3 : 0);  // "All partitions" and the two
      const QString lines = WindowLines(frame).join(u'\n');
      QVERIFY2(lines.contains(c.listed) && lines.isEmpty() == c.listed.isEmpty(), qPrintable(lines));
      QVERIFY(answers.texts.isEmpty());
    }
  }

  // Stop asks first; while asked the job reads nothing, No lets it read on, Yes aborts it.
  void stopWaitsNoResumesYesAborts() {
    CMainFrame frame;
    CThreadControllerDialog* dialog = frame.ProgressDialog();
    uint64_t readsWhileAsked = 0, readsAfterNo = 0;
    bool asked = true;
    const auto stopAndAnswer = [&](HeldReader& reader, QMessageBox::StandardButton answer) {
      QTimer::singleShot(0, [&, answer] {
        QMessageBox* question = dialog->StopQuestion();
        asked = asked && question != nullptr && question->text() == QStringLiteral("Do you want to stop process?");
        reader.Release();
        asked = WaitFor([&] { return frame.Gate().JobWaiting(); }) && asked;
        const uint64_t readsAtGate = reader.reads;
        QTest::qWait(200);
        readsWhileAsked += reader.reads - readsAtGate;
        if (question != nullptr) question->done(answer);
      });
      dialog->StopButton()->click();
    };
    RunHeld(frame, BuildShellVolume(40).bytes, 2, [&](HeldReader& reader) {
      stopAndAnswer(reader, QMessageBox::No);
      const uint64_t readsAtNo = reader.reads;
      reader.HoldRead(3);
      WaitFor([&] { return reader.held.load(); });
      readsAfterNo = reader.reads - readsAtNo;
      stopAndAnswer(reader, QMessageBox::Yes);
    });
    QVERIFY(asked);
    QCOMPARE(readsWhileAsked, 0u);
    QVERIFY(readsAfterNo >= 3);
    QVERIFY(LastRow(frame).first.startsWith(QStringLiteral("Aborted ")));
    QCOMPARE(LastRow(frame).second, LogState::Aborted);
    QVERIFY(!dialog->isVisible());
  }

  // A job that ends while Stop asks closes the question and the dialog itself.
  void jobEndingWhileAskedClosesCleanly() {
    CMainFrame frame;
    CThreadControllerDialog* dialog = frame.ProgressDialog();
    bool closedWhileAsked = false;
    RunHeld(frame, FatImageBuilder::Fat16(8192).Take(), 1, [&](HeldReader& reader) {  // one folder read, then done
      QTimer::singleShot(0, [&] {
        QPointer<QMessageBox> question = dialog->StopQuestion();
        reader.Release();
        closedWhileAsked = question != nullptr &&
                           WaitFor([&] { return !frame.JobRunning() && !question->isVisible() && !dialog->isVisible(); });
        if (question != nullptr && !closedWhileAsked) question->done(QMessageBox::No);
      });
      dialog->StopButton()->click();
    });
    QVERIFY(closedWhileAsked);
    QCOMPARE(LastRow(frame).second, LogState::Completed);
  }

  void closingDuringAJobStopsItFirst() {
    CMainFrame frame;
    frame.show();
    bool closeRefused = false;
    RunHeld(frame, BuildShellVolume(40).bytes, 2, [&](HeldReader& reader) {
      closeRefused = !frame.close();
      reader.Release();
    });
    QVERIFY(closeRefused);
    QCOMPARE(LastRow(frame).second, LogState::Aborted);
    QVERIFY(WaitFor([&] { return !frame.isVisible(); }));
  }
};

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);  // settings and tips go to a test folder
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Ferrolin Restora 1.0"));
  QApplication::setApplicationName(QStringLiteral("Ferrolin Restora"));
  Q_INIT_RESOURCE(restora);
  ShellTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ShellTests.moc"
