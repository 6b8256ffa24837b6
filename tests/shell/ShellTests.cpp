// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program driven as a user drives it: scans of an image file, the progress dialog,
// stopping a job, scan information, saving checked entries, the process log and closing.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <fstream>

#include "JobRunner.h"
#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ProcessLogList.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "ShellTestSupport.h"
#include "ThreadControllerDialog.h"
#include "VolumeAccess.h"

using namespace restora;
using namespace restora::test;

namespace {

QString WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
  return path;
}

QJsonObject CliJson(const QStringList& arguments) {
  QProcess cli;
  cli.start(QStringLiteral(RESTORA_CLI), arguments);
  cli.waitForFinished(60000);
  return QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
}

// Files (count and bytes) and folders below a JSON node, as the totals pane counts them.
void CountJson(const QJsonObject& node, uint64_t* bytes, uint32_t* files, uint32_t* folders) {
  for (const QJsonValue& value : node[QStringLiteral("children")].toArray()) {
    const QJsonObject child = value.toObject();
    if ((child[QStringLiteral("status")].toInt() & kStatusFolder) != 0) {
      ++*folders;
    } else {
      ++*files;
      *bytes += static_cast<uint64_t>(child[QStringLiteral("size")].toDouble());
    }
    CountJson(child, bytes, files, folders);
  }
}

// The first difference between a node of the engine's tree and a JSON node, or empty.
QString CompareTree(const ScanNode* node, const QJsonObject& json, const QString& path) {
  const QString name = QString::fromUtf16(node->name.data(), static_cast<qsizetype>(node->name.size()));
  if (name != json[QStringLiteral("name")].toString()) return path + QStringLiteral(": name ") + name;
  if (node->size != static_cast<uint64_t>(json[QStringLiteral("size")].toDouble()) ||
      node->status != json[QStringLiteral("status")].toInt()) {
    return path + QStringLiteral("/") + name + QStringLiteral(": size or status");
  }
  const QJsonArray children = json[QStringLiteral("children")].toArray();
  qsizetype index = 0;
  for (const ScanNode* child = node->firstChild; child != nullptr; child = child->next, ++index) {
    if (index >= children.size()) return path + QStringLiteral("/") + name + QStringLiteral(": more children");
    const QString difference = CompareTree(child, children[index].toObject(), path + QStringLiteral("/") + name);
    if (!difference.isEmpty()) return difference;
  }
  return index == children.size() ? QString() : path + QStringLiteral("/") + name + QStringLiteral(": fewer children");
}

ScanNode* ChildNamed(ScanNode* folder, std::u16string_view name) {
  for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
    if (child->name == name) return child;
  }
  return nullptr;
}

QStringList LogRows(CMainFrame& frame) {
  QStringList rows;
  for (int i = 0; i < frame.ProcessLog()->topLevelItemCount(); ++i) rows << frame.ProcessLog()->topLevelItem(i)->text(0);
  return rows;
}

LogState LastRowState(CMainFrame& frame) {
  const int count = frame.ProcessLog()->topLevelItemCount();
  return static_cast<LogState>(frame.ProcessLog()->topLevelItem(count - 1)->data(0, Qt::UserRole).toInt());
}

QByteArray Sha256(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

}  // namespace

// The progress dialog's numbers, the status-pane texts and the process log's saved text.
class DialogAndLogTest : public QObject {
  Q_OBJECT

 private slots:
  void percent_data() {
    QTest::addColumn<quint64>("done");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a quarter") << quint64(50) << quint64(200) << "25%";
    QTest::newRow("truncated") << quint64(199) << quint64(200) << "99%";
    QTest::newRow("whole") << quint64(200) << quint64(200) << "100%";
    QTest::newRow("done above 2^31") << (quint64(3) << 31) << (quint64(1) << 33) << "75%";
    QTest::newRow("total 2^32 sectors") << (quint64(1) << 31) << (quint64(1) << 32) << "50%";
    QTest::newRow("a 4 TiB disk") << (quint64(1) << 33) * 9 / 10 << (quint64(1) << 33) << "89%";
    QTest::newRow("total 0 keeps the last") << quint64(0) << quint64(0) << "10%";
  }
  void percent() {
    QFETCH(quint64, done);
    QFETCH(quint64, total);
    QFETCH(QString, shown);
    CThreadControllerDialog dialog;
    dialog.Prepare();
    dialog.OnSetProgress(10, 100);
    dialog.OnSetProgress(done, total);
    QCOMPARE(dialog.PercentText(), shown);
    QCOMPARE(dialog.BarValue(), shown.chopped(1).toInt());
  }

  void elapsedWrapsAfterADay() {
    const std::pair<int64_t, const char*> cases[] = {{0, "00:00:00"}, {3661, "01:01:01"}, {25 * 3600, "01:00:00"},
                                                     {86399, "23:59:59"}};
    for (const auto& [seconds, text] : cases) QCOMPARE(CThreadControllerDialog::ElapsedText(seconds), QString(text));
  }

  void onlyTheJobsEndClosesTheDialog() {
    CThreadControllerDialog dialog;
    dialog.Prepare();
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    QVERIFY(dialog.isVisible());
    dialog.OnCloseProgress();
    QVERIFY(!dialog.isVisible());
  }

  void totalsText_data() {
    QTest::addColumn<int>("pane");
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("KB") << 1 << quint64(1048575) << "Total 1023.999 KB in 3 Files in 2 Folders";
    QTest::newRow("MB") << 1 << quint64(1048576) << "Total   1.000 MB in 3 Files in 2 Folders";
    QTest::newRow("GB") << 2 << (quint64(1) << 30) << "Selected   1.000 GB in 3 Files in 2 Folders";
    QTest::newRow("high half set") << 1 << (quint64(5) << 32) << "Total  20.000 GB in 3 Files in 2 Folders";
  }
  void totalsText() {
    QFETCH(int, pane);
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(CMainFrame::TotalsText(pane, bytes, 3, 2), text);
  }

  void savedLogEqualsStoredFile() {
    ProcessLogList log;
    log.SetClock([] { return QDateTime(QDate(2006, 12, 5), QTime(14, 3, 59)); });
    LogEntry entry;
    entry.processText = QStringLiteral("Processing Image file :/tmp/disk.qxi");
    entry.description = QString(28, QLatin1Char('-'));
    log.OnLogAddRow(&entry);
    entry.state = LogState::Completed;
    entry.processText = QStringLiteral("Completed Processing Image file :/tmp/disk.qxi");
    log.OnLogAddRow(&entry);
    QCOMPARE(log.topLevelItem(0)->text(0), QStringLiteral("Processing Image file :/tmp/disk.qxi"));  // a copy
    QCOMPARE(log.topLevelItem(1)->background(0).color(), QColor(200, 200, 200));
    QCOMPARE(log.topLevelItem(0)->background(0).color(), QColor(Qt::white));
    QFile expected(QStringLiteral(RESTORA_SHELL_TEST_DIR "/expected_process_log.txt"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(log.SavedText(), expected.readAll());
  }
};

// The window over a FAT16 image file: scan, scan information, saving, closing.
class MainFrameTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  ShellVolume m_volume = BuildShellVolume();
  QString m_image;

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    m_image = WriteFile(m_dir.filePath(QStringLiteral("volume.qxi")), m_volume.bytes);
  }

  void scanOfAnImageFile() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    QCOMPARE(frame.PaneText(1), QStringLiteral("Total 0 Byte(s) in 0 File(s) in 0 Folder(s)"));
    frame.Command(QStringLiteral("Theme0"))->trigger();
    QVERIFY(frame.ProcessImageFile(m_image));
    QVERIFY(!frame.JobRunning());
    QCOMPARE(LogRows(frame), QStringList({"Processing Image file :" + m_image, "Completed Processing Image file :" + m_image}));
    QCOMPARE(LastRowState(frame), LogState::Completed);
    QCOMPARE(frame.ThemeIndex(), uint8_t{2});  // the look is reset after every job

    // The panes and the tree show what restora-cli lists for the same image.
    const QJsonObject listed = CliJson({QStringLiteral("scan"), m_image, QStringLiteral("--json")});
    uint64_t bytes = 0;
    uint32_t files = 0;
    uint32_t folders = 0;
    CountJson(listed[QStringLiteral("root")].toObject(), &bytes, &files, &folders);
    QVERIFY(files >= 3);
    QCOMPARE(frame.PaneText(1), CMainFrame::TotalsText(1, bytes, files, folders));
    QTreeView* tree = frame.TreeView()->Tree();
    const QModelIndex root = tree->model()->index(0, 0);
    QCOMPARE(root.data().toString(), QStringLiteral("Root"));
    QCOMPARE(tree->model()->rowCount(root), 1);
    const QModelIndex docs = tree->model()->index(0, 0, root);
    QCOMPARE(docs.data().toString(), QStringLiteral("Docs"));
    QCOMPARE(tree->model()->index(0, 0, docs).data().toString(), QStringLiteral("Old"));
    QVERIFY(frame.ListView()->RowCount() >= 2);  // the root's entries
    QVERIFY(frame.Command(QStringLiteral("SaveScanInfo"))->isEnabled());
    QVERIFY(frame.Command(QStringLiteral("Find"))->isEnabled());
    QVERIFY(!frame.Command(QStringLiteral("SaveSelectedFiles"))->isEnabled());

    // Goto Parent Folder is offered below the root only.
    QVERIFY(!frame.Command(QStringLiteral("GotoParentFolder"))->isEnabled());
    frame.TreeView()->OnOpenChildFolder(ChildNamed(frame.Engine().scanRoot, u"Docs"));
    frame.UpdateCommands();
    QVERIFY(frame.Command(QStringLiteral("GotoParentFolder"))->isEnabled());
    QVERIFY(answers.texts.isEmpty());
  }

  void notAnImageIsRefused() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    const QString junk = WriteFile(m_dir.filePath(QStringLiteral("junk.qxi")), std::vector<uint8_t>(4096, 0x5a));
    QVERIFY(!frame.ProcessImageFile(junk));
    QCOMPARE(answers.texts, QStringList{QStringLiteral("Failed to open image file or image file is not valid")});
    QVERIFY(!frame.ProcessLog()->HasRows());
    QCOMPARE(frame.Engine().deviceHandle.get(), nullptr);
  }

  void scanInformationRoundTrip() {
    const QString saved = m_dir.filePath(QStringLiteral("scan.qxs"));
    {
      CMainFrame frame;
      Answers answers;
      answers.Install(frame);
      QVERIFY(frame.ProcessImageFile(m_image));
      // A failed write says so and keeps the result marked unsaved.
      QVERIFY(!frame.SaveScanInfoFile(m_dir.filePath(QStringLiteral("missing/scan.qxs"))));
      QVERIFY(frame.ScanInfoUnsaved());
      QCOMPARE(answers.texts.size(), 1);
      QVERIFY(frame.SaveScanInfoFile(saved));
      QVERIFY(!frame.ScanInfoUnsaved());
      QVERIFY(!frame.Command(QStringLiteral("SaveScanInfo"))->isEnabled());
    }
    CMainFrame reopened;
    Answers answers;
    answers.Install(reopened);
    QVERIFY(reopened.OpenScanInfoFile(saved));
    const QJsonObject shown = CliJson({QStringLiteral("show"), saved, QStringLiteral("--json")});
    QCOMPARE(CompareTree(reopened.Engine().scanRoot, shown[QStringLiteral("root")].toObject(), QString()), QString());
    QVERIFY(reopened.TreeView()->HasItems());

    // A file that is no scan information is explained and leaves the tree as it was.
    QVERIFY(!reopened.OpenScanInfoFile(m_image));
    QCOMPARE(answers.texts.size(), 1);
    QVERIFY(answers.texts[0].startsWith(QStringLiteral("Failed to open scan information file")));
    QVERIFY(reopened.TreeView()->HasItems());
  }

  void saveCheckedEntries() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    QVERIFY(frame.ProcessImageFile(m_image));
    const QString destination = m_dir.filePath(QStringLiteral("saved"));
    QDir().mkpath(destination);
    frame.SetPathHook([&](const QString& kind) { return kind == QStringLiteral("destination") ? destination : QString(); });
    QTreeView* tree = frame.TreeView()->Tree();
    tree->model()->setData(tree->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);  // "Root"
    QVERIFY(frame.Command(QStringLiteral("SaveAllFiles"))->isEnabled());
    QVERIFY(frame.PaneText(2).startsWith(QStringLiteral("Selected ")));
    frame.Command(QStringLiteral("SaveAllFiles"))->trigger();
    for (const auto& [path, content] : m_volume.deletedFiles) {
      const QString file = destination + QStringLiteral("/#/") + QString::fromStdString(path);
      QCOMPARE(Sha256(file), QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(content.data()),
                                                                 static_cast<qsizetype>(content.size())),
                                                      QCryptographicHash::Sha256));
    }
    QVERIFY(LogRows(frame).last().startsWith(QStringLiteral("Completed saving checked entries to ")));
    QVERIFY(answers.texts.isEmpty());
  }

  void reopenedScanSavesOnlyFromItsSource() {
    const QString saved = m_dir.filePath(QStringLiteral("scan2.qxs"));
    {
      CMainFrame frame;
      QVERIFY(frame.ProcessImageFile(m_image));
      QVERIFY(frame.SaveScanInfoFile(saved));
    }
    const QString other = WriteFile(m_dir.filePath(QStringLiteral("other.qxi")), FatImageBuilder::Fat16(8192).Take());
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    QVERIFY(frame.OpenScanInfoFile(saved));
    const QString destination = m_dir.filePath(QStringLiteral("fromscan"));
    QDir().mkpath(destination);
    QString source = other;
    frame.SetPathHook([&](const QString& kind) { return kind == QStringLiteral("source") ? source : destination; });
    QTreeView* tree = frame.TreeView()->Tree();
    tree->model()->setData(tree->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    frame.OnSaveCheckedEntries();
    QVERIFY(!QDir(destination + QStringLiteral("/#")).exists());
    QVERIFY(answers.texts.last().contains(QStringLiteral("another volume")));
    source = m_image;
    frame.OnSaveCheckedEntries();
    const auto& [path, content] = *m_volume.deletedFiles.begin();
    QCOMPARE(QFile(destination + QStringLiteral("/#/") + QString::fromStdString(path)).size(),
             static_cast<qint64>(content.size()));
  }

  void closeAsksToSaveScanInformation() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    frame.show();
    QVERIFY(frame.ProcessImageFile(m_image));
    answers.answer = QMessageBox::Cancel;
    QVERIFY(!frame.close());
    QCOMPARE(answers.texts.last(), QStringLiteral("Do you want to save scan information?"));
    // Yes with a save that fails keeps the window open and the result unsaved.
    answers.answer = QMessageBox::Yes;
    frame.SetPathHook([&](const QString&) { return m_dir.filePath(QStringLiteral("missing/x.qxs")); });
    QVERIFY(!frame.close());
    QVERIFY(frame.ScanInfoUnsaved());
    answers.answer = QMessageBox::No;
    QVERIFY(frame.close());
  }

  void processLogSaveFailureIsReported() {
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    LogEntry entry;
    entry.processText = QStringLiteral("row");
    frame.OnLogEntry(&entry);
    QVERIFY(frame.Command(QStringLiteral("ClearProcessLog"))->isEnabled());
    frame.SetPathHook([&](const QString&) { return m_dir.filePath(QStringLiteral("missing/log.txt")); });
    frame.OnSaveProcessLog();
    QCOMPARE(answers.texts, QStringList{QStringLiteral("Error creating log file")});
    frame.OnClearProcessLog();
    QVERIFY(!frame.Command(QStringLiteral("SaveProcessLog"))->isEnabled());
  }
};

// Stopping a running job from its dialog, against a source the test holds back.
class StopJobTest : public QObject {
  Q_OBJECT

 private:
  // Opens bytes in frame's engine through a held reader, which it returns.
  static HeldReader* OpenHeld(CMainFrame& frame, std::vector<uint8_t> bytes) {
    auto reader = std::make_unique<HeldReader>(std::move(bytes));
    HeldReader* held = reader.get();
    CleanUp(frame.Engine());
    if (OpenSource(frame.Engine(), OpenMode::Image, std::move(reader)) != 1) return nullptr;
    return held;
  }

 private slots:
  void noReadWhileAskedNoResumesYesAborts() {
    CMainFrame frame;
    HeldReader* reader = OpenHeld(frame, BuildShellVolume(40).bytes);
    QVERIFY(reader != nullptr);
    CThreadControllerDialog* dialog = frame.ProgressDialog();
    uint64_t readsAtGate = 0;
    uint64_t readsAfterWait = 0;
    uint64_t readsAfterNo = 0;
    bool questionSeen = false;
    bool gateWaited = true;
    // Answers the open question once the job waits at its gate, after checking it reads nothing.
    const auto answerWhenWaiting = [&](QMessageBox::StandardButton answer, bool measure) {
      QTimer::singleShot(0, [&, answer, measure] {
        QMessageBox* question = dialog->StopQuestion();
        questionSeen = question != nullptr && question->text() == QStringLiteral("Do you want to stop process?");
        reader->Release();
        gateWaited = WaitFor([&] { return frame.Gate().JobWaiting(); }) && gateWaited;
        if (measure) {
          readsAtGate = reader->Reads();
          QTest::qWait(200);
          readsAfterWait = reader->Reads();
        }
        if (question != nullptr) question->done(answer);
      });
    };
    reader->HoldRead(2);
    QTimer::singleShot(0, [&] {
      WaitFor([&] { return reader->Holding(); });
      answerWhenWaiting(QMessageBox::No, true);
      dialog->StopButton()->click();
      const uint64_t readsAtNo = reader->Reads();
      reader->HoldRead(3);
      WaitFor([&] { return reader->Holding(); });
      readsAfterNo = reader->Reads() - readsAtNo;
      answerWhenWaiting(QMessageBox::Yes, false);
      dialog->StopButton()->click();
    });
    frame.OnStartJob(JobKind::DirectoryScanJob);
    QVERIFY(questionSeen);
    QVERIFY(gateWaited);
    QVERIFY(readsAtGate > 0);
    QCOMPARE(readsAfterWait, readsAtGate);
    QVERIFY(readsAfterNo >= 3);  // No let the job read on
    QVERIFY(LogRows(frame).last().startsWith(QStringLiteral("Aborted ")));
    QCOMPARE(LastRowState(frame), LogState::Aborted);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(frame.Engine().keepRunning.load(), 0u);
  }

  void jobEndingWhileAskedClosesCleanly() {
    CMainFrame frame;
    // An empty volume: after its one folder read the walk has nothing left to check.
    HeldReader* reader = OpenHeld(frame, FatImageBuilder::Fat16(8192).Take());
    QVERIFY(reader != nullptr);
    CThreadControllerDialog* dialog = frame.ProgressDialog();
    bool closedWhileAsked = false;
    reader->HoldRead(1);
    QTimer::singleShot(0, [&] {
      WaitFor([&] { return reader->Holding(); });
      QTimer::singleShot(0, [&] {
        QPointer<QMessageBox> question = dialog->StopQuestion();
        reader->Release();
        // The job's end closes the question and the dialog; the test answers only if it does not.
        closedWhileAsked = question != nullptr &&
                           WaitFor([&] { return !frame.JobRunning() && !question->isVisible() && !dialog->isVisible(); });
        if (question != nullptr && !closedWhileAsked) question->done(QMessageBox::No);
      });
      dialog->StopButton()->click();
    });
    frame.OnStartJob(JobKind::DirectoryScanJob);
    QVERIFY(closedWhileAsked);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!frame.JobRunning());
    QCOMPARE(LastRowState(frame), LogState::Completed);
  }

  void longFileCopyPassesTheGateEveryMiB() {
    struct CountingSink : ProgressSink {
      void Diagnostic(std::string_view) override {}
      void Checkpoint() override { ++checkpoints; }
      int checkpoints = 0;
    };
    // The checkpoints a save of one deleted file of size bytes passes.
    const auto checkpointsOfSave = [](size_t size) {
      FatImageBuilder b = FatImageBuilder::Fat16(16384, 1);
      FatEntry entry;
      entry.longName = u"big.bin";
      entry.deleted = true;
      b.AddFile(b.RootFolder(), entry, FatImageBuilder::Pattern(size, 7));
      EngineState state;
      CountingSink sink;
      QTemporaryDir folder;
      std::string error;
      auto destination = PosixDestination::Open(folder.path().toStdString(), &error);
      state.keepRunning = 1;
      if (OpenSource(state, OpenMode::Image, std::make_unique<MemorySourceReader>(b.Take())) != 1 ||
          ScanSource(state, 0) != 1 || !destination) {
        return -1;
      }
      SetChecked(state.scanRoot, 1);
      state.progress = &sink;
      const int saved = SaveCheckedEntries(state, *destination);
      CleanUp(state);
      return saved == 1 ? sink.checkpoints : -1;
    };
    const int small = checkpointsOfSave(100);
    QVERIFY(small > 0);
    QVERIFY(checkpointsOfSave(size_t{4} << 20) >= small + 3);  // at 1, 2 and 3 MiB
  }

  void closingDuringAJobStopsItFirst() {
    CMainFrame frame;
    frame.show();
    HeldReader* reader = OpenHeld(frame, BuildShellVolume(40).bytes);
    QVERIFY(reader != nullptr);
    bool closeRefused = false;
    reader->HoldRead(2);
    QTimer::singleShot(0, [&] {
      WaitFor([&] { return reader->Holding(); });
      closeRefused = !frame.close();
      reader->Release();
    });
    frame.OnStartJob(JobKind::DirectoryScanJob);
    QVERIFY(closeRefused);
    QCOMPARE(LastRowState(frame), LogState::Aborted);
    QVERIFY(WaitFor([&] { return !frame.isVisible(); }));
  }
};

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);  // settings and tips go to a test folder
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Ferrolin Restora 1.0"));
  QApplication::setApplicationName(QStringLiteral("Ferrolin Restora"));
  Q_INIT_RESOURCE(restora);
  int failures = 0;
  {
    DialogAndLogTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  {
    MainFrameTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  {
    StopJobTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  return failures == 0 ? 0 : 1;
}

#include "ShellTests.moc"
