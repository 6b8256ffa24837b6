// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard's first page: the choice of one of the four jobs.
#pragma once

#include <QButtonGroup>
#include <QPushButton>

#include "InfoPanel.h"
#include "WizardPageBase.h"

namespace restora {

class CWizardMainPage : public WizardPageBase {
  Q_OBJECT
 public:
  explicit CWizardMainPage(CWizardSheet* sheet);
  void activate() override;
  bool isComplete() const override;
  int nextId() const override;
  QString helpTopic() const override { return QStringLiteral("::/quillionwizard.htm"); }

  QPushButton* optionButton(int job) const { return qobject_cast<QPushButton*>(m_options->button(job)); }
  InfoPanel* infoPanel() const { return m_panel; }

 private:
  void onOptionClicked(int job);

  QButtonGroup* m_options;
  InfoPanel* m_panel;
};

}  // namespace restora
