// SPDX-License-Identifier: GPL-3.0-or-later
#include "CRecoveryApp.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QSettings>

#include <cstdio>

#include "CWizardSheet.h"
#include "MainFrame.h"
#include "TipOfTheDay.h"

namespace restora {

namespace {

const QString kStartupKey = QStringLiteral("QX_Restora_Wizard/QX_Restora_StartUp");

std::unique_ptr<QSettings> UserSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ferrolin Restora 1.0"),
                                     QStringLiteral("Ferrolin Restora"));
}

// Before any window exists the message also goes to the terminal the program was started from.
void Refuse(const QString& text) {
  std::fprintf(stderr, "restora: %s\n", qPrintable(text));
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

CRecoveryApp::CRecoveryApp() = default;
CRecoveryApp::~CRecoveryApp() = default;

int CRecoveryApp::ReadRunWizardOnStartup() { return UserSettings()->value(kStartupKey, 0).toInt() == 1 ? 1 : 0; }

void CRecoveryApp::WriteRunWizardOnStartup(int value) { UserSettings()->setValue(kStartupKey, value == 1 ? 1 : 0); }

bool CRecoveryApp::InitInstance(const QString& lockFolder) {
  switch (m_instance.Acquire(lockFolder)) {
    case SingleInstance::Outcome::First: break;
    case SingleInstance::Outcome::AlreadyRunning:
      Refuse(QStringLiteral("Ferrolin Quillion already running.\nPlease close the running instance first."));
      return false;
    case SingleInstance::Outcome::Failed:
      Refuse(QStringLiteral("Failed to load Ferrolin NTFS"));
      return false;
  }
  m_frame = std::make_unique<CMainFrame>();
  m_frame->show();
  m_frame->repaint();
  RunStartupSteps();
  return true;
}

void CRecoveryApp::RunStartupSteps() {
  // The drive inventory is taken at every start and kept: by the start-up wizard's sheet, which
  // tells a failure itself, or here when no wizard opens.
  int runWizardOnStartup = ReadRunWizardOnStartup();
  if (runWizardOnStartup != 1 && !CWizardSheet::TakeInventory(CWizardSheet::DefaultInventorySources())) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ferrolin NTFS"),
                    QStringLiteral("Failed to read the drive inventory: %1").arg(CWizardSheet::Kept().error),
                    QMessageBox::Ok, m_frame.get());
    box.exec();
  }
  // Queued, so the tip opens from the wizard's own event loop, on top of it.
  if (TipOfTheDay::ShowAtStartup()) QMetaObject::invokeMethod(m_frame.get(), &CMainFrame::OnShowTips, Qt::QueuedConnection);
  if (runWizardOnStartup == 1) {
    m_frame->OnRunWizard();
    runWizardOnStartup = ReadRunWizardOnStartup();
  }
  WriteRunWizardOnStartup(runWizardOnStartup);
}

}  // namespace restora
