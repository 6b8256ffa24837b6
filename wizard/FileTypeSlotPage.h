// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in for the file-type page until that page is built: it finishes with every known
// type selected.
#pragma once

#include <QLabel>

#include "WizardPageBase.h"

namespace restora {

class FileTypeSlotPage : public WizardPageBase {
  Q_OBJECT
 public:
  explicit FileTypeSlotPage(CWizardSheet* sheet);
  void activate() override;

  int nextId() const override { return -1; }
  bool validatePage() override;
  QString helpTopic() const override { return QStringLiteral("::/selectfiletypesforrecovery.htm"); }

 private:
  QLabel* m_text;
};

}  // namespace restora
