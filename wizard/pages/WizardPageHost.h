// SPDX-License-Identifier: GPL-3.0-or-later
// What the wizard's pages need of the sheet that holds them: the engine state a job will run on,
// the known file types, the job's log entry and the shared start-up choice.
#pragma once

#include <QString>

#include <vector>

#include "EngineState.h"
#include "SignatureRecord.h"

namespace restora {

// The process-log row a page fills before the sheet hands it on; state 0 is "running".
struct WizardJobLog {
  QString processText;
  QString description;
  int state = 0;
};

class WizardPageHost {
 public:
  virtual ~WizardPageHost() = default;

  // The engine state a search job runs on (its source is already open when the file-type page
  // finishes).
  virtual EngineState& engine() = 0;
  // Every known file type; each record's selected byte is its tick.
  virtual std::vector<SignatureRecord>& allFileTypes() = 0;
  virtual WizardJobLog& logEntry() = 0;
  // Hands the filled log entry to the process log.
  virtual void sendLogEntry() = 0;
  // 0 or 1: whether the wizard opens when the program starts; shared by every page's box.
  virtual int& runWizardOnStartup() = 0;
  // Shows an error box ("Error") over the wizard and waits for OK.
  virtual void showError(const QString& text) = 0;
};

}  // namespace restora
