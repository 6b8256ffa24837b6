// SPDX-License-Identifier: GPL-3.0-or-later
// A real FAT scan shown in the views: checks saved by the recovery writer, kept through a saved
// and reopened scan, and a new scan replacing the tree with the views open (run under the
// sanitizer build as well).
#include <QTest>
#include <map>

#include "FatImageBuilder.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "TestSupport.h"
#include "ViewsTestTree.h"
#include "ViewsTests.h"
#include "WriterSupport.h"

namespace restora::test {

namespace {

std::vector<uint8_t> MakeVolume() {
  FatImageBuilder builder = FatImageBuilder::Fat16();
  const uint32_t root = builder.RootFolder();
  const uint32_t docs = builder.AddFolder(root, {.shortName = "DOCS", .attributes = kFatAttrFolder});
  builder.AddFile(docs, {.shortName = "A.TXT"}, FatImageBuilder::Pattern(3000, 1));
  builder.AddFile(docs, {.shortName = "B.TXT", .deleted = true}, FatImageBuilder::Pattern(700, 2));
  const uint32_t old = builder.AddFolder(root, {.shortName = "OLD", .attributes = kFatAttrFolder, .deleted = true});
  builder.AddFile(old, {.shortName = "C.BIN", .deleted = true}, FatImageBuilder::Pattern(5000, 3));
  builder.AddFile(root, {.shortName = "TOP.DOC", .deleted = true}, FatImageBuilder::Pattern(1200, 4));
  builder.AddFile(root, {.shortName = "KEEP.DOC"}, FatImageBuilder::Pattern(100, 5));
  return builder.Take();
}

int Scan(EngineState& state) {
  if (!OpenMemorySource(state, MakeVolume())) return 0;
  state.keepRunning = 1;
  const int result = ScanSource(state, 0);
  state.keepRunning = 0;
  return result;
}

ScanNode* Child(ScanNode* folder, std::u16string_view name) {
  for (ScanNode* node = folder->firstChild; node != nullptr; node = node->next) {
    if (node->name == name) return node;
  }
  return nullptr;
}

// Every checked node by its path, as the views and a save see them.
std::map<std::u16string, Qt::CheckState> Marks(ResultViews& views, ScanNode* folder, std::u16string path = {}) {
  std::map<std::u16string, Qt::CheckState> marks;
  for (ScanNode* node = folder->firstChild; node != nullptr; node = node->next) {
    const std::u16string name = path + u"/" + node->name;
    if (IsFolderLike(*node)) {
      marks[name] = views.tree->Model()->IndexOf(node).data(Qt::CheckStateRole).value<Qt::CheckState>();
      marks.merge(Marks(views, node, name));
    } else {
      marks[name] = node->checked ? Qt::Checked : Qt::Unchecked;
    }
  }
  return marks;
}

}  // namespace

void ScanViewsTest::fatScanSaveReopenAndReplace() {
  EngineState state;
  QVERIFY(Scan(state));
  ResultViews views(state);
  views.tree->OnFillTree();
  ScanNode* docs = Child(state.scanRoot, u"DOCS");
  ScanNode* old = Child(state.scanRoot, u"XLD");  // a deleted entry's first letter is lost
  QVERIFY(docs && old);
  // The fast scan lists deleted files only, and the folders that lead to them.
  QCOMPARE(state.fileCount, 3u);
  QCOMPARE(state.folderCount, 2u);
  QCOMPARE(state.totalBytes, uint64_t{700 + 5000 + 1200});

  ClickTreeCheck(*views.tree, old);
  ClickTreeLabel(*views.tree, docs);
  ClickTreeLabel(*views.tree, state.scanRoot);
  ClickListCheck(*views.list, views.list->Model()->RowOf(Child(state.scanRoot, u"XOP.DOC")));
  const Selection selection = views.tree->CurrentSelection();
  QCOMPARE(selection, (Selection{5000 + 1200, 2, 1}));

  // What the writer leaves on disk is what the totals promised.
  TempFolder destinationFolder;
  std::string error;
  auto destination = PosixDestination::Open(destinationFolder.Path(), &error);
  QVERIFY(destination);
  state.keepRunning = 1;
  QVERIFY(SaveCheckedEntries(state, *destination));
  state.keepRunning = 0;
  Selection saved;
  for (const auto& [path, size] : ListTree(destinationFolder.Path() + "/#")) {
    if (size == -1) {
      ++saved.selectedFolders;
    } else {
      ++saved.selectedFiles;
      saved.selectedBytes += static_cast<uint64_t>(size);
    }
  }
  QCOMPARE(saved, selection);
  views.tree->OnNodesChanged();

  // A reopened scan shows the checks it holds, and the same totals.
  const auto marks = Marks(views, state.scanRoot);
  const std::string scanFile = destinationFolder.Path() + "/scan.qxs";
  QVERIFY(WriteScanInfo(state, scanFile));
  QVERIFY(views.find->FindWith({u"*.doc", false, false, SizeMode::AtMost, 1}) != nullptr);
  views.tree->Reset();
  QVERIFY(ReadScanInfo(state, scanFile));
  views.tree->OnFillTree();
  QCOMPARE(Marks(views, state.scanRoot), marks);
  QCOMPARE(views.tree->CurrentSelection(), selection);
  QVERIFY(!views.find->CanFindNext());

  // A new scan after the engine's clean-up replaces every node the views showed.
  views.tree->Reset();
  QVERIFY(CleanUp(state));
  QVERIFY(Scan(state));
  views.tree->OnFillTree();
  QCOMPARE(views.tree->CurrentSelection(), Selection{});
  QCOMPARE(views.list->Model()->rowCount(), 3);
  ClickTreeCheck(*views.tree, state.scanRoot);
  QCOMPARE(views.tree->CurrentSelection(), (Selection{6900, 3, 3}));
  views.tree->Reset();
  QVERIFY(CleanUp(state));
}

}  // namespace restora::test
