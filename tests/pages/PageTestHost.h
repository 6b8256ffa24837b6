// SPDX-License-Identifier: GPL-3.0-or-later
// A wizard sheet stand-in for the page tests and the screenshots: holds what the pages read and
// records the log entries they send.
#pragma once

#include <vector>

#include "WizardPageHost.h"

namespace restora::test {

struct PageTestHost : WizardPageHost {
  EngineState state;
  std::vector<SignatureRecord> types;
  WizardJobLog log;
  std::vector<WizardJobLog> sent;
  int startup = 0;

  EngineState& engine() override { return state; }
  std::vector<SignatureRecord>& allFileTypes() override { return types; }
  WizardJobLog& logEntry() override { return log; }
  void sendLogEntry() override { sent.push_back(log); }
  int& runWizardOnStartup() override { return startup; }
  void showError(const QString& text) override { errors.push_back(text); }
  std::vector<QString> errors;
};

}  // namespace restora::test
