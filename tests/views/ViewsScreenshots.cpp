// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the pictures of the result views: the main window after a FAT scan with entries
// checked, after a lost-file search, and the Find dialog with its options shown.
// Usage: views_screenshots OUTFOLDER (scripts/screenshots.sh runs it on Xvfb)
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>

#include "CFindDialog.h"
#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "FindCommands.h"
#include "FoundFile.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "ShellTestSupport.h"
#include "ViewsTestTree.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace restora;

namespace {

SignatureRecord Record(const char* extension, const char* category, uint32_t maxMiB) {
  SignatureRecord record;
  std::strncpy(record.extension.data(), extension, record.extension.size() - 1);
  std::strncpy(record.category.data(), category, record.category.size() - 1);
  record.maxSizeMiB = maxMiB;
  return record;
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

}  // namespace

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
  frame.resize(1100, 700);
  frame.show();
  if (!frame.ProcessImageFile(image)) return 1;
  EngineState& engine = frame.Engine();
  // Check the folder "Docs" in the tree, then one file of the root in the list.
  ScanNode* docs = nullptr;
  for (ScanNode* node = engine.scanRoot->firstChild; node != nullptr; node = node->next) {
    if (node->name == u"Docs") docs = node;
  }
  if (docs == nullptr) return 1;
  test::ClickTreeCheck(*frame.TreeView(), docs);
  test::ClickTreeLabel(*frame.TreeView(), engine.scanRoot);
  for (int row = 0; row < frame.ListView()->RowCount(); ++row) {
    if (!IsFolderLike(*frame.ListView()->Model()->NodeAt(row))) {
      test::ClickListCheck(*frame.ListView(), row);
      break;
    }
  }
  Settle();
  if (!frame.grab().save(out.filePath(QStringLiteral("views-fat-scan-checked.png")))) return 1;

  // A lost-file search result as the signature search files it: "Raw Data", category, type.
  frame.TreeView()->Reset();
  (void)CleanUp(engine);
  engine.volumeInfo.kind = SourceKind::Fat32;
  engine.volumeInfo.totalSectors = 1 << 24;
  engine.scanRoot = NewNode(engine);
  engine.scanRoot->status = kStatusLiveFolder;
  const SignatureRecord records[] = {Record("jpg", "Graphics", 2), Record("png", "Graphics", 1),
                                     Record("pdf", "Documents", 8), Record("zip", "Archives", 16)};
  for (uint32_t i = 0; i < 40; ++i) (void)AddFoundFile(engine, 2048 + uint64_t{i} * 4099, records[i % 4 == 3 ? 0 : i % 4]);
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
  Settle();
  if (!frame.grab().save(out.filePath(QStringLiteral("views-signature-search.png")))) return 1;

  CFindDialog find(&frame);
  find.PatternEdit()->setText(QStringLiteral("*.jpg"));
  find.OnToggleOptions();
  find.SizeBox()->setChecked(true);
  find.show();
  Settle();
  if (!find.grab().save(out.filePath(QStringLiteral("find-options.png")))) return 1;
  find.close();
  frame.SetMessageHook([](QMessageBox&) { return int(QMessageBox::No); });
  return 0;
}
