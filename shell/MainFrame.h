// SPDX-License-Identifier: GPL-3.0-or-later
// The program's main window: menus, toolbar, status panes, the result views, the process log,
// and the start and end of every long job on its worker thread.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>

#include "EngineState.h"
#include "JobKind.h"
#include "RecoveryWriter.h"
#include "LogEntry.h"
#include "PartitionChoice.h"
#include "PauseGate.h"

class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QSplitter;
class QToolBar;

namespace restora {

class CThreadControllerDialog;
class JobThread;
class CTXtndTreeView;
class CTXtndListView;
class FindCommands;
class ProcessLogList;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  EngineState& Engine() { return m_engine; }
  ProcessLogList* ProcessLog() const { return m_processLog; }
  CThreadControllerDialog* ProgressDialog() const { return m_progressDialog; }
  CTXtndTreeView* TreeView() const { return m_treeView; }
  CTXtndListView* ListView() const { return m_listView; }
  FindCommands* Find() const { return m_findCommands; }
  QString PaneText(int pane) const;
  QAction* Command(const QString& name) const;  // by object name, e.g. "SaveScanInfo"
  bool ScanInfoUnsaved() const { return scanInfoUnsaved != 0; }
  bool JobRunning() const { return workerThread != nullptr; }
  uint8_t ThemeIndex() const { return themeIndex; }
  PauseGate& Gate() { return m_gate; }

  // The status pane texts of the totals (pane 1) and the selection (pane 2).
  static QString TotalsText(int pane, uint64_t bytes, uint32_t files, uint32_t folders);

  // Every message box of the window goes through here; tests answer them with a hook.
  using MessageHook = std::function<int(QMessageBox&)>;
  void SetMessageHook(MessageHook hook) { m_messageHook = std::move(hook); }
  // Every file and folder question too: the hook gets the dialog's kind ("open-image",
  // "open-scan", "save-scan", "save-log", "destination", "source") and returns a path or empty.
  using PathHook = std::function<QString(const QString& kind)>;
  void SetPathHook(PathHook hook) { m_pathHook = std::move(hook); }
  // And the choice of partition of a disk image (returns the dialog's result).
  void SetPartitionHook(std::function<int(CPartitionChoiceDialog&)> hook) { m_partitionHook = std::move(hook); }

  // The commands (also reached through the menus and the toolbar).
  void OnRunWizard();
  void OnOpenScanInfo();
  // Returns true when the scan information was written; reports a failure to the user.
  bool OnSaveScanInfo();
  void OnImageProcessing();
  // Opens path as an image file and scans it; false (with the message shown) when it is no image.
  bool ProcessImageFile(const QString& path);
  // Opens path as a saved scan; false (with the reason shown) when it cannot be read.
  bool OpenScanInfoFile(const QString& path);
  // Writes the scan information to path; false (with the reason shown, the flag kept) on failure.
  bool SaveScanInfoFile(const QString& path);
  void OnSaveCheckedEntries();
  void OnSaveProcessLog();
  void OnClearProcessLog();
  void OnGotoParentFolder();
  void OnFind();
  void OnFindNext();

  // Shows a help page ("fastfilerecovery.htm"); the table of contents when page is empty.
  void ShowHelpContents(const QString& page = QString());

  // Find and Find Next are built by the views; they plug in here.
  void SetFindHandlers(std::function<void()> find, std::function<void()> findNext);
  void SetLastFound(int index) { lastFound = index; UpdateCommands(); }

 public slots:
  // Starts the job and shows the progress dialog; returns when the job has ended.
  void OnStartJob(restora::JobKind kind);
  void OnJobDone();
  void OnLogEntry(restora::LogEntry* entry);
  void OnProgress(quint64 done, quint64 total);
  void OnUpdateTotals(int pane);
  void OnShowTips();
  // Recounts the checked entries into the selection counters and shows them in pane 2.
  void OnSelectionChanged();
  void UpdateCommands();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Creation, by concern (MainFrameMenus.cpp).
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateProcessLogPane();
  void CreateViews();
  void ApplyToolbarSize(int index);
  void ApplyListViewMode(int mode);
  void ApplyTheme(int index);
  void ToggleFolderBar();
  void OpenWebPage(const QString& page);
  void ShowAbout();
  void RestoreSettings();
  void SaveSettings();

  int Ask(QMessageBox::Icon icon, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons);
  QString AskPath(const QString& kind, const std::function<QString()>& dialog);
  QAction* AddCommand(const QString& name, const QString& text, const QKeySequence& key,
                      void (CMainFrame::*slot)());
  // The path of the source the current tree was scanned from, opening it on request when the
  // tree came from a scan file; empty (with the reason shown) when none fits.
  QString SourceForSave();
  void ResetViews();

  // The state the running job works on: Create Image copies from a state of its own, so the scan
  // shown meanwhile stays whole; every other job works on m_engine.
  EngineState& JobEngine() { return m_imagingEngine ? *m_imagingEngine : m_engine; }

  // Job members.
  QString imageFilePath;
  std::shared_ptr<EngineState> m_imagingEngine;  // the drive being imaged; null between images
  std::shared_ptr<LogEntry> logEntry;
  CTXtndListView* m_listView = nullptr;
  CTXtndTreeView* m_treeView = nullptr;
  FindCommands* m_findCommands = nullptr;
  JobThread* workerThread = nullptr;
  CThreadControllerDialog* m_progressDialog = nullptr;
  uint32_t scanInfoUnsaved = 0;

  EngineState m_engine;
  PauseGate m_gate;
  uint64_t selectedBytes = 0;
  uint32_t selectedFiles = 0;
  uint32_t selectedFolders = 0;
  uint32_t imageSourceOpened = 0;
  QString m_sourcePath;            // the source opened for the current tree; empty when none
  bool m_sourceMatchesTree = false;  // the open source is the one the tree was scanned from
  bool m_jobEndedEarly = false;    // the job ended before its dialog was shown
  bool m_closeAfterJob = false;    // a close arrived during a job
  SaveSummary m_lastSave;          // what the last save job reported
  std::unique_ptr<Destination> m_pendingDestination;  // handed from the save command to its job
  QString m_pendingDestinationFolder;

  // Window members.
  QToolBar* m_toolBar = nullptr;
  QDockWidget* m_logPane = nullptr;
  ProcessLogList* m_processLog = nullptr;
  QSplitter* m_splitter = nullptr;
  QLabel* m_pane1 = nullptr;
  QLabel* m_pane2 = nullptr;
  QActionGroup* m_themeGroup = nullptr;
  QActionGroup* m_sizeGroup = nullptr;
  QActionGroup* m_listModeGroup = nullptr;
  uint8_t themeIndex = 2;
  uint8_t toolbarSizeIndex = 2;
  uint8_t listViewMode = 7;
  int lastFound = -1;
  std::function<void()> m_find;
  std::function<void()> m_findNext;
  MessageHook m_messageHook;
  std::function<int(CPartitionChoiceDialog&)> m_partitionHook;
  PathHook m_pathHook;
};

}  // namespace restora
