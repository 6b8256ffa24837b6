// SPDX-License-Identifier: GPL-3.0-or-later
// Result views on large results: a lost-file search of 100,000 found files filled into the
// views, a folder of 100,000 files opened in the list, and the heap the views hold beyond the
// engine's tree per shown row. Run from a Release build: views_bench [files]
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <cstdio>
#include <cstring>
#include <malloc.h>

#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "FoundFile.h"
#include "ScanTree.h"

using namespace restora;

namespace {

size_t HeapInUse() { return mallinfo2().uordblks; }

SignatureRecord Record(const char* extension, const char* category) {
  SignatureRecord record;
  std::strncpy(record.extension.data(), extension, record.extension.size() - 1);
  std::strncpy(record.category.data(), category, record.category.size() - 1);
  record.maxSizeMiB = 4;
  return record;
}

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const uint32_t files = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 100000;

  // A signature search result: found files filed by category and type below "Raw Data".
  EngineState found;
  found.volumeInfo.kind = SourceKind::Fat32;
  found.volumeInfo.totalSectors = uint64_t{1} << 32;
  found.scanRoot = NewNode(found);
  found.scanRoot->status = kStatusLiveFolder;
  const SignatureRecord records[] = {Record("jpg", "Graphics"), Record("png", "Graphics"), Record("pdf", "Documents"),
                                     Record("zip", "Archives"), Record("mp3", "Audio")};
  for (uint32_t i = 0; i < files; ++i) (void)AddFoundFile(found, uint64_t{i} * 64 + 100, records[i % 5]);
  (void)NumberTree(found, found.scanRoot);

  // One folder holding all files directly.
  EngineState flat;
  flat.volumeInfo.kind = SourceKind::Ntfs;
  flat.scanRoot = NewNode(flat);
  flat.scanRoot->status = kStatusLiveFolder;
  ScanNode* big = NewNode(flat);
  big->name = u"big";
  big->status = kStatusLiveFolder;
  PushChildFront(flat.scanRoot, big);
  for (uint32_t i = 0; i < files; ++i) {
    ScanNode* file = NewNode(flat);
    file->name = u"file" + QString::number(i).toStdU16String() + u".dat";
    file->size = i * 37;
    file->status = i % 2;
    file->modified = 128097504000000000ULL + uint64_t{i} * 10000000;
    PushChildFront(big, file);
  }
  (void)NumberTree(flat, flat.scanRoot);

  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* tree = new CTXtndTreeView(found, &window);
  auto* list = new CTXtndListView(found, &window);
  layout->addWidget(tree);
  layout->addWidget(list, 2);
  ConnectResultViews(tree, list);
  window.resize(1200, 800);
  window.show();
  Settle();

  // Fill: the tree of the search result, its totals, and the root's entries in the list.
  QElapsedTimer timer;
  timer.start();
  tree->OnFillTree();
  Settle();
  const double fillMs = timer.nsecsElapsed() / 1e6;
  // Opening every type folder in turn, as a user browsing the result does.
  timer.restart();
  int typeFolders = 0;
  for (ScanNode* category = found.scanRoot->firstChild->firstChild; category; category = category->next) {
    for (ScanNode* type = category->firstChild; type; type = type->next, ++typeFolders) {
      tree->OnShowFoundFolder(type);
      list->OnShowFolder(type->firstChild);
      Settle();
    }
  }
  const double browseMs = timer.nsecsElapsed() / 1e6;
  tree->Reset();
  Settle();

  // Opening a folder of all files, after the views already show its tree.
  CTXtndTreeView flatTree(flat);
  CTXtndListView flatList(flat);
  ConnectResultViews(&flatTree, &flatList);
  flatTree.resize(300, 800);
  flatList.resize(900, 800);
  flatTree.show();
  flatList.show();
  flatTree.OnFillTree();
  Settle();
  const size_t before = HeapInUse();
  timer.restart();
  flatList.OnShowFolder(big->firstChild);
  flatTree.OnOpenChildFolder(big);
  Settle();
  const double openMs = timer.nsecsElapsed() / 1e6;
  const size_t after = HeapInUse();
  const int rows = flatList.Model()->rowCount();
  timer.restart();
  flatList.OnHeadingClicked(0);
  Settle();
  const double sortNameMs = timer.nsecsElapsed() / 1e6;
  timer.restart();
  flatList.OnHeadingClicked(1);
  Settle();
  const double sortSizeMs = timer.nsecsElapsed() / 1e6;

  std::printf("found files: %u in %d type folders\n", files, typeFolders);
  std::printf("fill views with the search result: %.1f ms\n", fillMs);
  std::printf("open each type folder in turn: %.1f ms for %d folders\n", browseMs, typeFolders);
  std::printf("open a folder of %d files: %.1f ms\n", rows, openMs);
  std::printf("sort it by name: %.1f ms, by size: %.1f ms\n", sortNameMs, sortSizeMs);
  std::printf("heap above the tree for the opened folder: %zu bytes, %.1f bytes per shown row\n", after - before,
              static_cast<double>(after - before) / rows);
  std::printf("views' own index and rows: tree %zu bytes, list %zu bytes\n", flatTree.MemoryBytes(), flatList.MemoryBytes());
  return 0;
}
