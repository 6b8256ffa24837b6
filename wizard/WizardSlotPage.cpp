// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in pages of the wizard.
#include "WizardSlotPage.h"

#include "CWizardSheet.h"
#include "SignatureFile.h"

namespace restora {

WizardSlotPage::WizardSlotPage(CWizardSheet* sheet, Slot slot)
    : WizardPageBase(sheet), m_slot(slot), m_text(new QLabel(this)) {
  m_text->setWordWrap(true);
  content()->addWidget(m_text, 1);
}

void WizardSlotPage::activate() {
  WizardPageBase::activate();
  if (m_slot == Slot::Image) {
    setCaptionText(QStringLiteral("Create Image"));
    m_text->setText(QStringLiteral("Images are created with \"restora-cli image SOURCE OUT.qxi\" for now."));
  } else {
    setCaptionText(QStringLiteral("File types"));
    m_text->setText(QStringLiteral("All %1 known file types will be searched for.").arg(sheet()->allFileTypes.size()));
  }
}

bool WizardSlotPage::validatePage() {
  if (m_slot != Slot::FileTypes) return false;
  std::vector<SignatureRecord> all = sheet()->allFileTypes;
  for (SignatureRecord& type : all) type.selected = 1;
  uint32_t count = 0;
  sheet()->engine().signatureList = BuildSelectedList(all, kDefaultMaxSizeText, count);
  sheet()->logEntry->description = QStringLiteral("%1 file type(s) to search").arg(count);
  return true;
}

QString WizardSlotPage::helpTopic() const {
  return m_slot == Slot::Image ? QStringLiteral("::/ntfsdiskimaging2.htm")
                               : QStringLiteral("::/selectfiletypesforrecovery.htm");
}

}  // namespace restora
