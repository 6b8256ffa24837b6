// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the wizard for the documentation: the main page, and the logical and physical
// drive trees of the given disks with a drive or disk chosen.
// Usage: wizard_screenshots OUTPUT_FOLDER DISK_DEVICE...
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"

using namespace restora;

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool Save(QWidget* window, const QString& path) {
  Settle();
  return window->grab().save(path);
}

// Chooses the last drive (or disk) item of the tree.
void ChooseLast(CWizardDriveSelectionPage* page) {
  QTreeWidgetItem* last = nullptr;
  for (QTreeWidgetItemIterator it(page->tree()); *it != nullptr; ++it) {
    if ((*it)->data(0, CWizardDriveSelectionPage::kIndexRole).toInt() >= 0) last = *it;
  }
  if (last != nullptr) page->tree()->setCurrentItem(last);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  const QDir out(QString::fromLocal8Bit(argv[1]));
  InventorySources sources;
  for (int i = 2; i < argc; ++i) sources.onlyDisks.emplace_back(argv[i]);
  EngineState engine;
  CallbackWizardHost host;
  bool saved = true;
  for (const int job : {int(kNoJob), int(kFastFileRecovery), int(kAdvancedFileRecovery)}) {
    CWizardSheet sheet(engine, host, sources);
    sheet.resize(820, 560);
    sheet.show();
    auto* main = static_cast<CWizardMainPage*>(sheet.page(CWizardSheet::kMainPage));
    if (job == kNoJob) {
      saved &= Save(&sheet, out.filePath("wizard-main-page.png"));
      continue;
    }
    main->optionButton(job)->click();
    sheet.next();
    auto* drives = static_cast<CWizardDriveSelectionPage*>(sheet.page(CWizardSheet::kDriveSelectionPage));
    ChooseLast(drives);
    saved &= Save(&sheet, out.filePath(job == kFastFileRecovery ? "wizard-logical-drives.png"
                                                                  : "wizard-physical-drives.png"));
  }
  return saved ? 0 : 1;
}
