// SPDX-License-Identifier: GPL-3.0-or-later
// Puts the file-type page and the image page into the wizard sheet and lets them reach the
// sheet's engine, known types, log entry and start-up choice.
#pragma once

#include <memory>
#include <vector>

#include "CWizardImagePage.h"
#include "DriveRecords.h"
#include "WizardPageHost.h"

namespace restora {

class CWizardSheet;
class CWizardSignaturesPage;

// The volumes of an inventory as the image page shows them: each disk ("Disk # 0 [model]") with
// the volumes of its partitions, in inventory order.
std::vector<ImageSourceDisk> ImageSourceDisks(const DriveInventory& inventory);

class SheetPages : public WizardPageHost {
 public:
  // Replaces the sheet's stand-ins with the two pages. Lives as long as the sheet runs.
  explicit SheetPages(CWizardSheet& sheet);

  EngineState& engine() override;
  std::vector<SignatureRecord>& allFileTypes() override;
  WizardJobLog& logEntry() override;
  void sendLogEntry() override;
  int& runWizardOnStartup() override;

  // After a finished Create Image: the drive open in a state of its own, and the image's path.
  std::shared_ptr<EngineState> TakeImagingEngine() { return m_imagePage->takeImagingEngine(); }
  QString ImagePath() const { return m_imagePage->imagePath(); }
  CWizardImagePage* ImagePage() const { return m_imagePage; }
  CWizardSignaturesPage* FileTypePage() const { return m_fileTypePage; }

 private:
  CWizardSheet& m_sheet;
  WizardJobLog m_log;
  CWizardImagePage* m_imagePage;
  CWizardSignaturesPage* m_fileTypePage;
};

}  // namespace restora
