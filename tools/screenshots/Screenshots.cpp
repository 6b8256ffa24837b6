// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the README's pictures of the desktop program: the main window after a scan with
// entries checked, the result views after a lost-file search, the Find dialog, the progress
// dialog, the process log, the partition question, the help window, About, the wizard's
// file-type and image pages, and given disks, the wizard's
// main page and its logical and physical drive trees of them with the last drive or disk chosen.
// Usage: screenshots OUTFOLDER [DISK_DEVICE...] (scripts/screenshots.sh runs it on Xvfb)
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWizard>

#include "CFindDialog.h"
#include "CWizardDriveSelectionPage.h"
#include "CWizardImagePage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "CWizardSignaturesPage.h"
#include "FoundFile.h"
#include "HelpWindow.h"
#include "PartitionChoice.h"
#include "PageTestHost.h"
#include "ProcessLogList.h"
#include "ShellTestSupport.h"
#include "SignatureFile.h"
#include "TestSupport.h"
#include "ThreadControllerDialog.h"
#include "ViewsTestTree.h"

using namespace restora;
using namespace Qt::StringLiterals;

namespace {

QDir out;

bool Save(QWidget& widget, const char* name) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return widget.grab().save(out.filePath(QString::fromLatin1(name)));
}

// A wizard frame around page, as the sheet shows it.
bool SavePage(QWizardPage* page, const std::function<void()>& arrange, const char* name) {
  QWizard wizard;
  wizard.setWizardStyle(QWizard::ClassicStyle);
  wizard.setOption(QWizard::HaveHelpButton);
  wizard.addPage(page);
  wizard.show();
  QApplication::processEvents();
  arrange();
  wizard.resize(760, 560);  // after the page is filled, so its columns fit the width
  QTest::qWait(300);
  return Save(wizard, name);
}

}  // namespace

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(restora);
  if (argc < 2) return 2;
  out = QDir(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir work;
  const QString image = test::WriteFile(work.filePath(QStringLiteral("sample.qxi")), test::BuildShellVolume(6).bytes);

  CMainFrame frame;
  frame.resize(1000, 680);
  frame.show();
  if (!frame.ProcessImageFile(image)) return 1;
  EngineState& engine = frame.Engine();
  // The folder "Docs" checked and opened and one file of the root checked, as a user about to
  // save them would have it; the views' picture is the same window, a little larger.
  ScanNode* docs = engine.scanRoot->firstChild;
  while (docs != nullptr && docs->name != u"Docs") docs = docs->next;
  if (docs == nullptr) return 1;
  test::ClickTreeItem(*frame.TreeView(), docs);
  frame.TreeView()->Control()->expand(frame.TreeView()->Model()->IndexOf(docs));
  test::ClickListCheck(*frame.ListView(), frame.ListView()->Model()->RowOf(engine.scanRoot->firstChild));
  if (!Save(frame, "main-window.png")) return 1;
  frame.resize(1100, 700);
  if (!Save(frame, "views-fat-scan-checked.png")) return 1;

  // A lost-file search result as the signature search files it: "Raw Data", category, type.
  frame.TreeView()->Reset();
  (void)CleanUp(engine);
  engine.volumeInfo.kind = SourceKind::Fat32;
  engine.volumeInfo.totalSectors = 1 << 24;
  engine.scanRoot = NewNode(engine);
  engine.scanRoot->status = kStatusLiveFolder;
  SignatureRecord records[] = {test::SearchType("jpg", {0xFF}, 0, 0, "Graphics"), test::SearchType("png", {0x89}, 0, 0, "Graphics"),
                               test::SearchType("pdf", {0x25}, 0, 0, "Documents")};
  for (SignatureRecord& record : records) record.maxSizeMiB = 2;
  for (uint32_t i = 0; i < 40; ++i) (void)AddFoundFile(engine, 2048 + uint64_t{i} * 4099, records[i % 4 % 3]);
  (void)NumberTree(engine, engine.scanRoot);
  frame.TreeView()->OnFillTree();
  ScanNode* graphics = engine.scanRoot->firstChild->firstChild;
  while (graphics != nullptr && graphics->name != u"Graphics") graphics = graphics->next;
  if (graphics == nullptr || graphics->firstChild == nullptr) return 1;
  ScanNode* jpg = graphics->firstChild->name == u"jpg" ? graphics->firstChild : graphics->firstChild->next;
  frame.TreeView()->OnShowFoundFolder(jpg);
  frame.ListView()->OnShowFolder(jpg->firstChild);
  test::ClickListCheck(*frame.ListView(), 1);
  test::ClickListCheck(*frame.ListView(), 2);
  frame.ListView()->OnHeadingClicked(0);
  if (!Save(frame, "views-signature-search.png")) return 1;

  CFindDialog find(&frame);
  find.PatternEdit()->setText(QStringLiteral("*.jpg"));
  find.OnToggleOptions();
  find.SizeBox()->setChecked(true);
  find.show();
  if (!Save(find, "find-options.png")) return 1;
  find.close();

  CThreadControllerDialog* dialog = frame.ProgressDialog();
  dialog->Prepare();
  dialog->OnSetProgress(41, 100);
  dialog->OnElapsed(83);
  dialog->show();
  if (!Save(*dialog, "progress-dialog.png")) return 1;
  dialog->OnCloseProgress();

  LogEntry entry;
  entry.processText = QStringLiteral("Saving checked entries to /media/backup/recovered");
  entry.description = QString(28, QLatin1Char('-'));
  frame.OnLogEntry(&entry);
  entry.state = LogState::Completed;
  entry.processText = QStringLiteral("Completed saving checked entries to /media/backup/recovered");
  entry.description = QStringLiteral("4 written, 0 incomplete, 0 failed");
  frame.OnLogEntry(&entry);
  if (!Save(*frame.findChild<QDockWidget*>(QStringLiteral("ProcessLogPane")), "process-log.png")) return 1;

  // The question about a disk image with several partitions, the help window and About.
  PartitionReport first, second;
  first.entry = {1, 2048, 1024000, "0x0c", {}, false}, first.kind = SourceKind::Fat32, first.usable = true;
  second.entry = {2, 1026048, 3170304, "0x07", {}, false}, second.kind = SourceKind::Ntfs, second.usable = true;
  CPartitionChoiceDialog partitions(u"/media/backup/camera-card.img"_s, {first, second}, &frame);
  partitions.Select(2);
  partitions.show();
  if (!Save(partitions, "partition-choice.png")) return 1;
  partitions.close();
  HelpWindow help(&frame);
  help.resize(760, 560);
  help.ShowTopic({});  // the table of contents
  help.show();
  if (!Save(help, "help-window.png")) return 1;
  help.close();
  bool aboutSaved = false;
  frame.SetMessageHook([&aboutSaved](QMessageBox& box) {
    box.show();
    aboutSaved = Save(box, "about.png");
    return int(QMessageBox::Ok);
  });
  frame.Command(u"About"_s)->trigger();
  if (!aboutSaved) return 1;

  test::PageTestHost host;
  if (OpenSignatureFile(host.state, std::filesystem::path(RESTORA_SIGNATURE_FILE).parent_path()) &&
      ReadSignatureList(host.state)) {
    host.types = host.state.signatureList;
  }
  auto* types = new CWizardSignaturesPage(host);
  if (!SavePage(types, [types] {
        types->categoryBox()->setCurrentText(QStringLiteral("Documents"));
        types->onSelectAll();
      }, "file-type-page.png")) {
    return 1;
  }
  const auto drive = [](const QString& device, const QString& size, const QString& name, const QString& kind,
                        const QString& serial, const QString& free, const QString& block) {
    return ImageSourceDrive{device + u" ("_s + size + u"))"_s, name, kind, serial, free, block, device};
  };
  auto* imagePage = new CWizardImagePage(
      host, {{u"Disk # 0 [Loop device]"_s,
              {drive(u"/dev/loop3"_s, u"64.00 MB"_s, u"PHOTOS"_s, u"FAT32"_s, u"5A1C2E07"_s, u"41.17 MB"_s, u"4096.00 B"_s)}},
             {u"Disk # 1 [Loop device]"_s,
              {drive(u"/dev/loop4p1"_s, u"48.00 MB"_s, u"Archive"_s, u"NTFS"_s, u"6C3F19A2"_s, u"30.52 MB"_s, u"4096.00 B"_s),
               drive(u"/dev/loop4p2"_s, u"15.00 MB"_s, u"NOTES"_s, u"FAT"_s, u"1E2D3C4B"_s, u"14.71 MB"_s, u"2048.00 B"_s)}}});
  imagePage->setFileChooser([](QWidget*, const QString& name) { return QDir::homePath() + u'/' + name + QStringLiteral(".qxi"); });
  if (!SavePage(imagePage, [imagePage] {
        imagePage->driveTree()->setCurrentItem(imagePage->driveTree()->topLevelItem(0)->child(1)->child(0));
        imagePage->onDestinationButton();
      }, "image-page.png")) {
    return 1;
  }

  InventorySources sources;  // the given disks alone
  for (int i = 2; i < argc; ++i) sources.onlyDisks.emplace_back(argv[i]);
  EngineState wizardEngine;
  CallbackWizardHost wizardHost;
  for (const int job : {int(kNoJob), int(kFastFileRecovery), int(kAdvancedFileRecovery)}) {
    if (argc == 2) break;
    CWizardSheet sheet(wizardEngine, wizardHost, sources);
    sheet.resize(820, 560);
    sheet.show();
    if (job != kNoJob) {
      static_cast<CWizardMainPage*>(sheet.page(CWizardSheet::kMainPage))->optionButton(job)->click();
      sheet.next();
      QTreeWidget* drives = static_cast<CWizardDriveSelectionPage*>(sheet.currentPage())->tree();
      for (QTreeWidgetItemIterator it(drives); *it != nullptr; ++it) {
        if ((*it)->data(0, CWizardDriveSelectionPage::kIndexRole).toInt() >= 0) drives->setCurrentItem(*it);
      }
    }
    if (!Save(sheet, job == kNoJob ? "wizard-main-page.png" : job == kFastFileRecovery ? "wizard-logical-drives.png"
                                                                                       : "wizard-physical-drives.png")) {
      return 1;
    }
  }
  return 0;
}
