// SPDX-License-Identifier: GPL-3.0-or-later
// The job choice page.
#include "CWizardMainPage.h"

#include <QHBoxLayout>
#include <QStyle>

#include "CWizardSheet.h"

namespace restora {

CWizardMainPage::CWizardMainPage(CWizardSheet* sheet) : WizardPageBase(sheet), m_options(new QButtonGroup(this)) {
  auto* row = new QHBoxLayout;
  auto* buttons = new QVBoxLayout;
  const QStyle::StandardPixmap icons[] = {QStyle::SP_FileDialogContentsView, QStyle::SP_FileDialogDetailedView,
                                          QStyle::SP_DriveHDIcon, QStyle::SP_DialogSaveButton};
  for (int job = kFastFileRecovery; job <= kCreateImage; ++job) {
    auto* button = new QPushButton(style()->standardIcon(icons[job - 1]), OptionLabel(job), this);
    button->setCheckable(true);
    button->setIconSize(QSize(32, 32));
    button->setMinimumHeight(48);
    button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 8px;"));
    m_options->addButton(button, job);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  m_options->setExclusive(true);
  m_panel = new InfoPanel(this);
  m_panel->setLines(OptionDescription(kNoJob));
  row->addLayout(buttons);
  row->addWidget(m_panel, 1);
  content()->addLayout(row);
  connect(m_options, &QButtonGroup::idClicked, this, &CWizardMainPage::onOptionClicked);
}

void CWizardMainPage::activate() {
  WizardPageBase::activate();
  emit completeChanged();
}

bool CWizardMainPage::isComplete() const { return sheet()->jobChoice != kNoJob; }

int CWizardMainPage::nextId() const {
  return sheet()->jobChoice == kCreateImage ? CWizardSheet::kImagePage : CWizardSheet::kDriveSelectionPage;
}

void CWizardMainPage::onOptionClicked(int job) {
  setCaptionText(OptionLabel(job).trimmed());
  sheet()->jobChoice = static_cast<uint8_t>(job);
  m_panel->setLines(OptionDescription(job));
  emit completeChanged();
}

}  // namespace restora
