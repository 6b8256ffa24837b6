// SPDX-License-Identifier: GPL-3.0-or-later
// What the wizard needs of the main frame: the process log, the unsaved-scan flag, the views
// that show the scan tree, and help. The frame implements it; tests record the calls.
#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace restora {

// One process-log row as the wizard describes a job; the frame keeps it after Finish and the job
// fills in the rest.
struct WizardLogEntry {
  QString processText;
  QString description;
  QString timeText;
  int state = 0;  // 0 running, 1 aborted, 2 completed
};

class WizardHost {
 public:
  virtual ~WizardHost() = default;
  virtual void addLogEntry(const std::shared_ptr<WizardLogEntry>& entry) = 0;
  virtual bool scanInfoUnsaved() const = 0;
  // Save Scan Information; clears the unsaved flag when the scan was saved.
  virtual void saveScanInformation() = 0;
  // Called just before the engine frees the scan tree: the views let go of its nodes and the
  // unsaved flag is cleared, since nothing is left to save.
  virtual void discardScan() = 0;
  // Opens the help page of a topic such as "::/quillionwizard.htm".
  virtual void showHelp(const QString& topic) = 0;
};

// A host made of callbacks, for a frame that keeps its own members private; a missing callback
// does nothing (and reports no unsaved scan).
class CallbackWizardHost : public WizardHost {
 public:
  std::function<void(const std::shared_ptr<WizardLogEntry>&)> onLogEntry;
  std::function<bool()> onScanInfoUnsaved;
  std::function<void()> onSaveScanInformation;
  std::function<void()> onDiscardScan;
  std::function<void(const QString&)> onShowHelp;

  void addLogEntry(const std::shared_ptr<WizardLogEntry>& entry) override {
    if (onLogEntry) onLogEntry(entry);
  }
  bool scanInfoUnsaved() const override { return onScanInfoUnsaved && onScanInfoUnsaved(); }
  void saveScanInformation() override {
    if (onSaveScanInformation) onSaveScanInformation();
  }
  void discardScan() override {
    if (onDiscardScan) onDiscardScan();
  }
  void showHelp(const QString& topic) override {
    if (onShowHelp) onShowHelp(topic);
  }
};

}  // namespace restora
