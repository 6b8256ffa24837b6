// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's jobs: starting and ending them, the log and progress they report, the
// status panes, and the commands that load, store and save scan results.
#include "MainFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QSplitter>
#include <QTimer>

#include "JobThread.h"
#include "CWizardImagePage.h"
#include "CWizardSheet.h"
#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "PosixDestination.h"
#include "ProcessLogList.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "SourceGuard.h"
#include "Themes.h"
#include "ThreadControllerDialog.h"
#include "TotalsText.h"

namespace restora {

namespace {

const QString kAppTitle = QStringLiteral("Ferrolin Restora");
const QString kScanInfoFilter = QStringLiteral("Scan Info File (*.qxs);;All Files (*)");

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(QStringLiteral("Ferrolin Restora 1.0.1"));
  setWindowIcon(QIcon(QStringLiteral(":/restora/icons/app.svg")));
  CreateStatusBar();
  CreateActions();
  CreateMenus();
  CreateToolBar();
  ApplyToolbarSize(0);
  ApplyToolbarSize(2);
  ApplyTheme(kDefaultTheme);
  CreateProcessLogPane();
  CreateViews();
  m_progressDialog = new CThreadControllerDialog(this);
  RestoreSettings();
  UpdateCommands();
}

CMainFrame::~CMainFrame() {
  // Never destroy a running thread: stop the job, let go of every report it may be waiting on
  // (a dropped blocking report releases its sender), and wait for its end.
  m_engine.keepRunning = 0;
  if (m_imagingEngine) m_imagingEngine->keepRunning = 0;
  m_gate.Open();
  const QList<JobThread*> threads = findChildren<JobThread*>();
  for (JobThread* thread : threads) {
    thread->disconnect(this);
    thread->disconnect(m_treeView);
  }
  QCoreApplication::removePostedEvents(this);
  QCoreApplication::removePostedEvents(m_treeView);
  for (JobThread* thread : threads) thread->wait();
  m_treeView->Reset();
  m_listView->Reset();
  CleanUp(m_engine);
}

QString CMainFrame::PaneText(int pane) const {
  if (pane == 1) return m_pane1->text();
  if (pane == 2) return m_pane2->text();
  return {};
}

QString CMainFrame::TotalsText(int pane, uint64_t bytes, uint32_t files, uint32_t folders) {
  if (pane != 1 && pane != 2) return {};
  return restora::TotalsText(pane == 1 ? "Total" : "Selected", bytes, files, folders);
}

void CMainFrame::SetFindHandlers(std::function<void()> find, std::function<void()> findNext) {
  m_find = std::move(find);
  m_findNext = std::move(findNext);
}

int CMainFrame::Ask(QMessageBox::Icon icon, const QString& caption, const QString& text,
                    QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, caption, text, buttons, this);
  if (m_messageHook) return m_messageHook(box);
  return box.exec();
}

QString CMainFrame::AskPath(const QString& kind, const std::function<QString()>& dialog) {
  if (m_pathHook) return m_pathHook(kind);
  return dialog();
}

// --- Jobs ---

void CMainFrame::ResetViews() {
  m_treeView->Reset();
  m_listView->Reset();
}

void CMainFrame::OnStartJob(JobKind kind) {
  if (workerThread != nullptr) return;
  if (kind != JobKind::ImagingJob) m_imagingEngine.reset();
  EngineState& engine = JobEngine();
  engine.keepRunning = 1;
  if (kind == JobKind::DirectoryScanJob || kind == JobKind::SignatureSearchJob) {
    ResetViews();
    m_pane1->setText(QStringLiteral("Total 0 Byte(s) in 0 Folder(s) in 0 File(s)"));
    m_pane2->setText(QString());
    m_engine.totalBytes = 0;
    m_engine.fileCount = 0;
    m_engine.folderCount = 0;
  }
  auto* thread = new JobThread(engine, kind, logEntry, m_gate, this);
  const QPointer<JobThread> runningThread(thread);
  if (kind == JobKind::DirectoryScanJob) {
    thread->SetImageSourceOpened(imageSourceOpened != 0);
    imageSourceOpened = 0;
  }
  if (kind == JobKind::ImagingJob) thread->SetImageFilePath(imageFilePath.toStdString());
  if (kind == JobKind::SaveJob) thread->SetDestination(std::move(m_pendingDestination), m_pendingDestinationFolder);
  // The worker waits at each report until the window has handled it.
  connect(thread, &JobThread::umLogEntry, this, &CMainFrame::OnLogEntry, Qt::BlockingQueuedConnection);
  connect(thread, &JobThread::umProgress, this, &CMainFrame::OnProgress, Qt::BlockingQueuedConnection);
  connect(thread, &JobThread::umFillTree, m_treeView, &CTXtndTreeView::OnFillTree, Qt::BlockingQueuedConnection);
  connect(thread, &JobThread::umJobDone, this, &CMainFrame::OnJobDone, Qt::BlockingQueuedConnection);
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  workerThread = thread;
  m_jobEndedEarly = false;
  m_progressDialog->Attach(&engine.keepRunning, &m_gate);
  m_progressDialog->Prepare();
  thread->start(QThread::LowestPriority);
  if (!m_jobEndedEarly) m_progressDialog->exec();
  m_jobEndedEarly = false;
  // The imaged drive is closed again once the thread has ended (it may be gone already).
  if (kind == JobKind::ImagingJob) {
    if (runningThread) runningThread->wait();
    m_imagingEngine.reset();
  }

  if (kind == JobKind::SaveJob) {
    m_treeView->OnNodesChanged();  // a save may have renamed entries whose names were taken
    const SaveSummary& summary = m_lastSave;
    if (summary.Failures() > 0 || !summary.destinationError.empty()) {
      Ask(QMessageBox::Warning, QStringLiteral("Error"),
          QStringLiteral("%1 of the checked entries could not be saved whole%2. The process log lists them.")
              .arg(summary.Failures())
              .arg(summary.destinationError.empty() ? QString()
                                                    : QStringLiteral(" (") +
                                                          QString::fromStdString(summary.destinationError) +
                                                          QStringLiteral(")")),
          QMessageBox::Ok);
    }
  }
  if (m_closeAfterJob) QTimer::singleShot(0, this, &QWidget::close);
}

void CMainFrame::OnJobDone() {
  JobEngine().keepRunning = 0;
  m_gate.Open();
  if (workerThread != nullptr) m_lastSave = workerThread->Report().save;
  if (m_progressDialog->isVisible()) {
    m_progressDialog->OnCloseProgress();
  } else {
    m_jobEndedEarly = true;  // the job ended before its dialog was shown: do not show it
  }
  ApplyTheme(kDefaultTheme);
  workerThread = nullptr;
  UpdateCommands();
}

void CMainFrame::OnLogEntry(LogEntry* entry) {
  m_logPane->show();
  m_logPane->raise();
  m_processLog->OnLogAddRow(entry);
  UpdateCommands();
}

void CMainFrame::OnProgress(quint64 done, quint64 total) { m_progressDialog->OnSetProgress(done, total); }

void CMainFrame::OnUpdateTotals(int pane) {
  if (pane == 1) {
    m_pane1->setText(TotalsText(1, m_engine.totalBytes, m_engine.fileCount, m_engine.folderCount));
    OnSelectionChanged();
    m_pane2->setText(QString());
  } else if (pane == 2) {
    OnSelectionChanged();
  } else {
    (pane == 0 ? m_pane1 : m_pane2)->setText(QString());
  }
  UpdateCommands();
}

void CMainFrame::OnSelectionChanged() {
  // The views keep the selection equal to what a save of the checked entries writes.
  const Selection& selection = m_treeView->CurrentSelection();
  selectedBytes = selection.selectedBytes;
  selectedFiles = selection.selectedFiles;
  selectedFolders = selection.selectedFolders;
  m_pane2->setText(TotalsText(2, selectedBytes, selectedFiles, selectedFolders));
  UpdateCommands();
}

// --- Commands ---

void CMainFrame::OnRunWizard() {
  CallbackWizardHost host;
  host.onLogEntry = [this](const std::shared_ptr<WizardLogEntry>& entry) {
    LogEntry row{entry->processText, entry->description, QString(), static_cast<LogState>(entry->state)};
    OnLogEntry(&row);
  };
  host.onScanInfoUnsaved = [this] { return scanInfoUnsaved != 0; };
  host.onSaveScanInformation = [this] { OnSaveScanInfo(); };
  // The engine is about to free the tree: the views let go of it, and nothing is left unsaved.
  host.onDiscardScan = [this] {
    ResetViews();
    scanInfoUnsaved = 0;
    m_sourcePath.clear();
    m_sourceMatchesTree = false;
  };
  host.onShowHelp = [this](const QString& topic) { ShowHelpContents(QString(topic).remove(QStringLiteral("::/"))); };
  CWizardSheet wizard(m_engine, host, this);
  if (wizard.exec() != QDialog::Accepted) {
    UpdateCommands();
    return;
  }
  logEntry = std::make_shared<LogEntry>();
  logEntry->processText = wizard.logEntry->processText;
  logEntry->description = wizard.logEntry->description;
  if (wizard.jobChoice == kCreateImage) {
    // The image is copied from a state of its own: the shown scan, its source and whether it
    // is saved stay as they were.
    m_imagingEngine = wizard.imagePage()->takeImagingEngine();
    imageFilePath = wizard.imagePage()->imagePath();
    if (m_imagingEngine) OnStartJob(JobKind::ImagingJob);
    UpdateCommands();
    return;
  }
  scanInfoUnsaved = 1;
  m_sourcePath = wizard.sourcePath;
  m_sourceMatchesTree = true;
  switch (wizard.jobChoice) {
    case 1: OnStartJob(JobKind::DirectoryScanJob); break;
    case 2:
    case 3: OnStartJob(JobKind::SignatureSearchJob); break;
    default: break;
  }
  UpdateCommands();
}

void CMainFrame::OnImageProcessing() {
  const QString path = AskPath(QStringLiteral("open-image"), [this] {
    return QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("Image File (*.qxi);;All Files (*)"));
  });
  if (!path.isEmpty()) ProcessImageFile(path);
}

bool CMainFrame::ProcessImageFile(const QString& path) {
  ResetViews();
  std::string error;
  uint32_t partition = 0;  // an image of a whole disk: which partition, 0 for all
  if (!AskPartition(this, path, &partition, m_partitionHook)) return false;
  if (partition == 0 ? !OpenJobSource(m_engine, path.toStdString(), false, &error)
                     : !OpenJobPartition(m_engine, path.toStdString(), partition, &error)) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, QStringLiteral("Failed to open image file or image file is not valid"),
                    QMessageBox::Ok, this);
    box.setInformativeText(QString::fromStdString(error));
    if (m_messageHook) {
      m_messageHook(box);
    } else {
      box.exec();
    }
    m_sourcePath.clear();
    m_sourceMatchesTree = false;
    OnUpdateTotals(1);
    return false;
  }
  imageSourceOpened = 1;
  logEntry = std::make_shared<LogEntry>();
  logEntry->processText = QStringLiteral("Processing Image file :") + path;
  logEntry->description = QString(28, QLatin1Char('-'));
  m_sourcePath = path;
  m_sourceMatchesTree = true;
  // A scan of an image is as worth keeping as a scan of the drive it came from.
  scanInfoUnsaved = 1;
  OnStartJob(JobKind::DirectoryScanJob);
  return true;
}

void CMainFrame::OnOpenScanInfo() {
  const QString path = AskPath(QStringLiteral("open-scan"), [this] {
    return QFileDialog::getOpenFileName(this, QString(), QString(), kScanInfoFilter);
  });
  if (!path.isEmpty()) OpenScanInfoFile(path);
}

bool CMainFrame::OpenScanInfoFile(const QString& path) {
  ResetViews();
  // A file that cannot be read leaves the current tree as it was.
  const bool read = ReadScanInfo(m_engine, path.toStdString()) == 1;
  m_treeView->OnFillTree();
  if (!read) {
    Ask(QMessageBox::Warning, QStringLiteral("Error"),
        QStringLiteral("Failed to open scan information file %1: it cannot be read or is not a scan information file.")
            .arg(path),
        QMessageBox::Ok);
    return false;
  }
  // Files are saved from a read scan only after its source has been opened and checked again.
  m_sourceMatchesTree = false;
  UpdateCommands();
  return true;
}

bool CMainFrame::OnSaveScanInfo() {
  QString path = AskPath(QStringLiteral("save-scan"), [this] {
    QFileDialog dialog(this, QString(), QStringLiteral("Scan Info"), kScanInfoFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qxs"));
    dialog.selectFile(QStringLiteral("Scan Info"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  });
  if (path.isEmpty()) return false;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".qxs");
  return SaveScanInfoFile(path);
}

bool CMainFrame::SaveScanInfoFile(const QString& path) {
  const std::string why = WhyOutputTouchesSource(m_sourcePath.toStdString(), path.toStdString());
  const bool written = why.empty() && WriteScanInfo(m_engine, path.toStdString()) == 1;
  if (!written) {
    Ask(QMessageBox::Warning, QStringLiteral("Error"),
        QStringLiteral("Failed to save scan information to %1%2")
            .arg(path, why.empty() ? QStringLiteral(".") : QStringLiteral(": ") + QString::fromStdString(why)),
        QMessageBox::Ok);
    return false;
  }
  scanInfoUnsaved = 0;
  UpdateCommands();
  return true;
}

QString CMainFrame::SourceForSave() {
  if (m_sourceMatchesTree && m_engine.deviceHandle) return m_sourcePath;
  Ask(QMessageBox::Information, kAppTitle,
      QStringLiteral("These entries come from saved scan information. Choose the volume, disk or image file the scan "
                     "was made from; files are read from it."),
      QMessageBox::Ok);
  const QString path = AskPath(QStringLiteral("source"), [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Source of the scan"), QStringLiteral("/dev"),
                                        QStringLiteral("All Files (*)"));
  });
  if (path.isEmpty()) return {};
  std::string error;
  if (!AttachSourceForTree(m_engine, path.toStdString(), &error)) {
    Ask(QMessageBox::Warning, QStringLiteral("Error"), QString::fromStdString(error), QMessageBox::Ok);
    return {};
  }
  m_sourcePath = path;
  m_sourceMatchesTree = true;
  return path;
}

void CMainFrame::OnSaveCheckedEntries() {
  if (m_engine.scanRoot == nullptr || selectedFiles + selectedFolders == 0) return;
  const QString source = SourceForSave();
  if (source.isEmpty()) return;
  const QString folder = AskPath(QStringLiteral("destination"), [this] {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Choose the folder to save the checked entries in"));
  });
  if (folder.isEmpty()) return;
  if (const std::string why = WhyDestinationTouchesSource(source.toStdString(), folder.toStdString()); !why.empty()) {
    Ask(QMessageBox::Warning, QStringLiteral("Error"), QString::fromStdString(why), QMessageBox::Ok);
    return;
  }
  std::string error;
  std::unique_ptr<PosixDestination> destination = PosixDestination::Open(folder.toStdString(), &error);
  if (!destination) {
    Ask(QMessageBox::Warning, QStringLiteral("Error"), QString::fromStdString(error), QMessageBox::Ok);
    return;
  }
  ProtectIfFile(*destination, source.toStdString());
  m_pendingDestination = std::move(destination);
  m_pendingDestinationFolder = folder;
  logEntry = std::make_shared<LogEntry>();
  OnStartJob(JobKind::SaveJob);
}

void CMainFrame::OnSaveProcessLog() {
  QString path = AskPath(QStringLiteral("save-log"), [this] {
    QFileDialog dialog(this, QString(), QString(), QStringLiteral("Text File (*.txt);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("Ferrolin Norvex ver 1.0.1 Process Log.txt"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  });
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
  if (!m_processLog->SaveTo(path)) {
    Ask(QMessageBox::Information, QStringLiteral("Error"), QStringLiteral("Error creating log file"), QMessageBox::Ok);
  }
}

void CMainFrame::OnClearProcessLog() {
  m_processLog->OnClear();
  UpdateCommands();
}

void CMainFrame::OnGotoParentFolder() {
  m_treeView->OnGotoParentFolder();
  UpdateCommands();
}

void CMainFrame::OnFind() {
  if (m_find) m_find();
  UpdateCommands();
}

void CMainFrame::OnFindNext() {
  if (m_findNext) m_findNext();
  UpdateCommands();
}

void CMainFrame::UpdateCommands() {
  const bool busy = workerThread != nullptr || m_engine.keepRunning.load() != 0;
  const bool hasItems = m_treeView != nullptr && m_treeView->HasItems();
  const bool anyChecked = selectedFiles + selectedFolders > 0;
  const bool allChecked = m_engine.scanRoot != nullptr && m_engine.scanRoot->checked == 1;
  const auto enable = [this](const char* name, bool on) {
    if (QAction* action = Command(QLatin1String(name))) action->setEnabled(on);
  };
  enable("SaveScanInfo", scanInfoUnsaved == 1 && m_engine.scanRoot != nullptr);
  enable("Find", !busy && hasItems);
  enable("FindNext", !busy && lastFound != -1);
  enable("GotoParentFolder", m_treeView != nullptr && m_treeView->CurrentFolderHasParent());
  enable("SaveProcessLog", m_processLog != nullptr && m_processLog->HasRows());
  enable("ClearProcessLog", m_processLog != nullptr && m_processLog->HasRows());
  enable("SaveSelectedFiles", hasItems && anyChecked);
  enable("SaveAllFiles", hasItems && allChecked);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (workerThread != nullptr) {
    // Stop the job and close once it has ended; the thread is never left running.
    m_closeAfterJob = true;
    JobEngine().keepRunning = 0;
    if (QMessageBox* question = m_progressDialog->StopQuestion()) question->done(QMessageBox::No);
    m_gate.Open();
    event->ignore();
    return;
  }
  if (scanInfoUnsaved == 1) {
    const int answer = Ask(QMessageBox::Question, QStringLiteral("Confirm"),
                           QStringLiteral("Do you want to save scan information?"),
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !OnSaveScanInfo())) {
      m_closeAfterJob = false;
      event->ignore();
      return;
    }
  }
  SaveSettings();
  event->accept();
}

}  // namespace restora
