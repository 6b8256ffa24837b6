// SPDX-License-Identifier: GPL-3.0-or-later
// A wizard sheet stand-in for the page tests and the screenshots: holds what the pages read and
// records the log entries they send.
#pragma once

#include <algorithm>
#include <string_view>
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
};

inline SignatureRecord Type(std::string_view name, std::string_view extension, std::string_view category,
                            uint8_t selected = 0) {
  SignatureRecord record;
  std::copy(name.begin(), name.end(), record.typeName.begin());
  std::copy(extension.begin(), extension.end(), record.extension.begin());
  std::copy(category.begin(), category.end(), record.category.begin());
  record.selected = selected;
  record.headerLength = 2;
  return record;
}

}  // namespace restora::test
