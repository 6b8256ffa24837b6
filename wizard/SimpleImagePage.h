// SPDX-License-Identifier: GPL-3.0-or-later
// A plain page for Create Image until the full image page is built: the logical drive, the
// folder and the file name of the image.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include "WizardPageBase.h"

namespace restora {

class SimpleImagePage : public WizardPageBase {
  Q_OBJECT
 public:
  explicit SimpleImagePage(CWizardSheet* sheet);
  void activate() override;
  bool isComplete() const override;
  int nextId() const override { return -1; }
  bool validatePage() override;
  QString helpTopic() const override { return QStringLiteral("::/ntfsdiskimaging2.htm"); }

  QComboBox* driveBox() const { return m_drive; }
  QLineEdit* folderEdit() const { return m_folder; }
  QLineEdit* nameEdit() const { return m_name; }

 private:
  QComboBox* m_drive;
  QLineEdit* m_folder;
  QLineEdit* m_name;
};

}  // namespace restora
