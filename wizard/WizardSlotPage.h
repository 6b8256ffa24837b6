// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for the image page and the file-type page until those pages are built: the image
// slot lets nothing finish; the file-type slot finishes with every known type selected.
#pragma once

#include <QLabel>

#include "WizardPageBase.h"

namespace restora {

class WizardSlotPage : public WizardPageBase {
  Q_OBJECT
 public:
  enum class Slot { Image, FileTypes };
  WizardSlotPage(CWizardSheet* sheet, Slot slot);
  void activate() override;
  bool isComplete() const override { return m_slot == Slot::FileTypes; }
  int nextId() const override { return -1; }
  bool validatePage() override;
  QString helpTopic() const override;

 private:
  Slot m_slot;
  QLabel* m_text;
};

}  // namespace restora
