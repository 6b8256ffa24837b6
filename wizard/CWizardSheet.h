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

class WizardPageBase;

class CWizardSheet : public QWizard {
  Q_OBJECT
 public:
  enum PageId { kMainPage = 0, kDriveSelectionPage = 1, kImagePage = 2, kFileTypePage = 3 };
  // Shows a message box and returns the button pressed; tests answer in its place.
  using Prompt = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& caption,
                                                           const QString& text, QMessageBox::StandardButtons buttons)>;

  // Takes the drive inventory from sources and reads the start-up setting.
  CWizardSheet(EngineState& engine, WizardHost& host, const InventorySources& sources, QWidget* parent = nullptr);
  // The same with the sources of DefaultInventorySources.
  explicit CWizardSheet(EngineState& engine, WizardHost& host, QWidget* parent = nullptr)
      : CWizardSheet(engine, host, DefaultInventorySources(), parent) {}
  // Writes the start-up setting, however the wizard ended.
  ~CWizardSheet() override;

  // The full image page and file-type page replace the plain stand-ins put here at first.
  void setImagePage(QWizardPage* page) { setPage(kImagePage, page); }
  void setFileTypePage(QWizardPage* page) { setPage(kFileTypePage, page); }

  EngineState& engine() { return m_engine; }
  WizardHost& host() { return m_host; }
  void setPrompt(Prompt prompt) { m_prompt = std::move(prompt); }
  QMessageBox::StandardButton ask(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                  QMessageBox::StandardButtons buttons);
  // The question before a scan is replaced: Yes saves it, No and Cancel go on without saving.
  void offerToSaveScan();

  void reject() override;  // Cancel and the close box ask first

  // Where wizards made without sources take their inventory: the machine's own unless a test
  // points them at a fixture.
  static InventorySources& DefaultInventorySources();
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
  void setPage(int id, QWizardPage* page);
  void onCurrentIdChanged(int id);
  void onHelpRequested();

  EngineState& m_engine;
  WizardHost& m_host;
  Prompt m_prompt;
};

}  // namespace restora
