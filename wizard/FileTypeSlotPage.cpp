// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in for the file-type page.
#include "FileTypeSlotPage.h"

#include "CWizardSheet.h"
#include "SignatureFile.h"

namespace restora {

FileTypeSlotPage::FileTypeSlotPage(CWizardSheet* sheet) : WizardPageBase(sheet), m_text(new QLabel(this)) {
  m_text->setWordWrap(true);
  content()->addWidget(m_text, 1);
}

void FileTypeSlotPage::activate() {
  WizardPageBase::activate();
  setCaptionText(QStringLiteral("File types"));
  m_text->setText(QStringLiteral("All %1 known file types will be searched for.").arg(sheet()->allFileTypes.size()));
}

bool FileTypeSlotPage::validatePage() {
  std::vector<SignatureRecord> all = sheet()->allFileTypes;
  for (SignatureRecord& type : all) type.selected = 1;
  uint32_t count = 0;
  sheet()->engine().signatureList = BuildSelectedList(all, kDefaultMaxSizeText, count);
  sheet()->logEntry->description = QStringLiteral("%1 file type(s) to search").arg(count);
  sheet()->host().addLogEntry(sheet()->logEntry);
  return true;
}

}  // namespace restora
