// SPDX-License-Identifier: GPL-3.0-or-later
// How the file-type page and the image page reach the wizard sheet that holds them: its engine,
// known types, log entry and start-up choice.
#pragma once

#include <vector>

#include "CWizardImagePage.h"
#include "DriveRecords.h"
#include "WizardPageHost.h"

namespace restora {

class CWizardSheet;

// The volumes of an inventory as the image page shows them: each disk ("Disk # 0 [model]") with
// the volumes of its partitions, in inventory order.
std::vector<ImageSourceDisk> ImageSourceDisks(const DriveInventory& inventory);

class SheetPages : public WizardPageHost {
 public:
  explicit SheetPages(CWizardSheet& sheet) : m_sheet(sheet) {}

  EngineState& engine() override;
  std::vector<SignatureRecord>& allFileTypes() override;
  WizardJobLog& logEntry() override;
  void sendLogEntry() override;
  int& runWizardOnStartup() override;
  void showError(const QString& text) override;

 private:
  CWizardSheet& m_sheet;
  WizardJobLog m_log;
};

}  // namespace restora
