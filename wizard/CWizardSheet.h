// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard that starts every job: the choice of the job, its source and its options. It
// prepares the engine (resets it and opens the source) and describes the job for the process
// log; after Finish the main frame starts the job by jobChoice.
#pragma once

#include <QMessageBox>
#include <QWizard>
#include <functional>
#include <memory>
#include <vector>

#include "DriveInventory.h"
#include "EngineState.h"
#include "SignatureRecord.h"
#include "WizardHost.h"
#include "WizardTexts.h"

namespace restora {

class CWizardImagePage;
class CWizardSignaturesPage;
class SheetPages;
class WizardPageBase;

class CWizardSheet : public QWizard {
  Q_OBJECT
 public:
  enum PageId { kMainPage = 0, kDriveSelectionPage = 1, kImagePage = 2, kFileTypePage = 3 };
  // Shows a message box and returns the button pressed; tests answer in its place.
  using Prompt = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& caption,
                                                           const QString& text, QMessageBox::StandardButtons buttons)>;

  // Shows drives and reads the start-up setting.
  CWizardSheet(EngineState& engine, WizardHost& host, DriveInventory drives, QWidget* parent = nullptr);
  // Takes the kept inventory anew from sources (TakeInventory, its failure told to the user) and
  // shows it.
  CWizardSheet(EngineState& engine, WizardHost& host, const InventorySources& sources, QWidget* parent = nullptr);
  // The same with the sources of DefaultInventorySources.
  explicit CWizardSheet(EngineState& engine, WizardHost& host, QWidget* parent = nullptr)
      : CWizardSheet(engine, host, DefaultInventorySources(), parent) {}
  // Writes the start-up setting, however the wizard ended.
  ~CWizardSheet() override;

  CWizardImagePage* imagePage() const { return m_imagePage; }
  CWizardSignaturesPage* fileTypePage() const { return m_fileTypePage; }

  EngineState& engine() { return m_engine; }
  WizardHost& host() { return m_host; }
  void setPrompt(Prompt prompt) { m_prompt = std::move(prompt); }
  QMessageBox::StandardButton ask(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                  QMessageBox::StandardButtons buttons);
  // The question before a scan is replaced: Yes saves it, No and Cancel go on without saving.
  void offerToSaveScan();

  void accept() override;  // keeps the image page's destination
  void reject() override;  // Cancel and the close box ask first

  // Where wizards made without sources take their inventory: the machine's own unless a test
  // points them at a fixture.
  static InventorySources& DefaultInventorySources();
  // The drive inventory the program keeps: taken when it starts, and again by every sheet made
  // from sources, so a drive plugged in meanwhile shows. error tells why the last take failed.
  struct KeptInventory {
    DriveInventory drives;
    QString error;
  };
  static const KeptInventory& Kept();
  // Takes the inventory from sources into the kept one. Returns 1 when taken, 0 (kept one
  // empty, error set) when it failed.
  static int TakeInventory(const InventorySources& sources);
  // The saved "Run wizard on startup" setting, for the program's start.
  static bool RunOnStartupSetting();

  DriveInventory inventory;  // disks, partitions, logicalDrives
  QString imageFolder;
  QString imageFileName;
  QString sourcePath;  // the device or file left open in the engine; empty until then
  std::shared_ptr<WizardLogEntry> logEntry = std::make_shared<WizardLogEntry>();
  std::vector<SignatureRecord> allFileTypes;
  int runWizardOnStartup = 0;
  uint8_t jobChoice = kNoJob;

 private:
  void onCurrentIdChanged(int id);
  void onHelpRequested();

  EngineState& m_engine;
  WizardHost& m_host;
  Prompt m_prompt;
  std::unique_ptr<SheetPages> m_pages;  // how the two pages below reach the sheet
  CWizardImagePage* m_imagePage = nullptr;
  CWizardSignaturesPage* m_fileTypePage = nullptr;
};

}  // namespace restora
