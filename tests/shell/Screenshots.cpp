// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the pictures of the README: the main window after a scan of a sample image, the
// progress dialog of a running job, and the process log. Usage: shell_screenshots OUTFOLDER
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <fstream>

#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "ProcessLogList.h"
#include "ShellTestSupport.h"
#include "ThreadControllerDialog.h"

using namespace restora;

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(restora);
  if (argc != 2) return 2;
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir work;
  const QString image = work.filePath(QStringLiteral("sample.qxi"));
  const test::ShellVolume volume = test::BuildShellVolume(6);
  std::ofstream(image.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(volume.bytes.data()), static_cast<std::streamsize>(volume.bytes.size()));

  CMainFrame frame;
  frame.resize(1000, 680);
  frame.show();
  if (!frame.ProcessImageFile(image)) return 1;
  // Tick the folder "Docs" and show its entries, as a user about to save it would.
  QTreeView* tree = frame.TreeView()->Tree();
  const QModelIndex root = tree->model()->index(0, 0);
  for (int row = 0; row < tree->model()->rowCount(root); ++row) {
    const QModelIndex folder = tree->model()->index(row, 0, root);
    if (folder.data().toString() == QStringLiteral("Docs")) {
      tree->model()->setData(folder, Qt::Checked, Qt::CheckStateRole);
      tree->expand(folder);
    }
  }
  QApplication::processEvents();
  if (!frame.grab().save(out.filePath(QStringLiteral("main-window.png")))) return 1;

  CThreadControllerDialog* dialog = frame.ProgressDialog();
  dialog->Prepare();
  dialog->OnSetProgress(41, 100);
  dialog->OnElapsed(83);
  dialog->show();
  QApplication::processEvents();
  dialog->grab().save(out.filePath(QStringLiteral("progress-dialog.png")));
  dialog->OnCloseProgress();

  LogEntry entry;
  entry.processText = QStringLiteral("Saving checked entries to /media/backup/recovered");
  entry.description = QString(28, QLatin1Char('-'));
  frame.OnLogEntry(&entry);
  entry.state = LogState::Completed;
  entry.processText = QStringLiteral("Completed saving checked entries to /media/backup/recovered");
  entry.description = QStringLiteral("4 written, 0 incomplete, 0 failed");
  frame.OnLogEntry(&entry);
  QApplication::processEvents();
  auto* pane = frame.findChild<QDockWidget*>(QStringLiteral("ProcessLogPane"));
  pane->grab().save(out.filePath(QStringLiteral("process-log.png")));
  frame.SetMessageHook([](QMessageBox&) { return int(QMessageBox::No); });
  return 0;
}
