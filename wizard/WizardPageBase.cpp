// SPDX-License-Identifier: GPL-3.0-or-later
// The frame shared by the wizard pages.
#include "WizardPageBase.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QStyle>

#include "CWizardSheet.h"

namespace restora {

namespace {
constexpr const char* kMakerSite = "https://ferrolin.example/restora";
}

WizardPageBase::WizardPageBase(CWizardSheet* sheet) : QWizardPage(sheet), m_sheet(sheet) {
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QFrame(this);
  caption->setFrameShape(QFrame::StyledPanel);
  caption->setAutoFillBackground(true);
  caption->setBackgroundRole(QPalette::Base);
  auto* captionLayout = new QHBoxLayout(caption);
  auto* icon = new QLabel(caption);
  icon->setPixmap(QApplication::windowIcon().isNull()
                      ? style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(24, 24)
                      : QApplication::windowIcon().pixmap(24, 24));
  m_captionText = new QLabel(QStringLiteral("Select appropriate Option"), caption);
  QFont bold = m_captionText->font();
  bold.setBold(true);
  m_captionText->setFont(bold);
  captionLayout->addWidget(icon);
  captionLayout->addWidget(m_captionText, 1);
  layout->addWidget(caption);

  m_content = new QVBoxLayout;
  layout->addLayout(m_content, 1);

  auto* bottom = new QHBoxLayout;
  auto* link = new QLabel(QStringLiteral("<a href=\"%1\">Ferrolin Restora on the web</a>").arg(kMakerSite), this);
  link->setOpenExternalLinks(true);
  m_startupBox = new QCheckBox(QStringLiteral("&Run wizard on startup"), this);
  bottom->addWidget(link);
  bottom->addStretch(1);
  bottom->addWidget(m_startupBox);
  layout->addLayout(bottom);
  connect(m_startupBox, &QCheckBox::clicked, this, [this](bool on) { m_sheet->runWizardOnStartup = on ? 1 : 0; });
}

void WizardPageBase::activate() {
  m_sheet->setWindowTitle(QStringLiteral("Ferrolin Quillion Wizard"));
  m_startupBox->setChecked(m_sheet->runWizardOnStartup != 0);
}

}  // namespace restora
