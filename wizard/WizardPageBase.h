// SPDX-License-Identifier: GPL-3.0-or-later
// What every wizard page shows: the caption bar across the top, the link to the maker's site and
// the "Run wizard on startup" box, which all pages share as one setting.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QWizardPage>

namespace restora {

class CWizardSheet;

class WizardPageBase : public QWizardPage {
  Q_OBJECT
 public:
  explicit WizardPageBase(CWizardSheet* sheet);
  // Called by the sheet each time the page becomes the current page, also after Back.
  virtual void activate();
  virtual QString helpTopic() const = 0;

  QString captionText() const { return m_captionText->text(); }
  QCheckBox* startupBox() const { return m_startupBox; }

 protected:
  void setCaptionText(const QString& text) { m_captionText->setText(text); }
  QVBoxLayout* content() const { return m_content; }
  CWizardSheet* sheet() const { return m_sheet; }

 private:
  CWizardSheet* m_sheet;
  QLabel* m_captionText;
  QCheckBox* m_startupBox;
  QVBoxLayout* m_content;
};

}  // namespace restora
