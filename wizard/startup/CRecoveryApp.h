// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: one instance only, the main window shown, then the tip of the day and,
// when the user asked for it, the wizard.
#pragma once

#include <QString>

#include <memory>

#include "SingleInstance.h"

namespace restora {

class CMainFrame;

class CRecoveryApp {
 public:
  CRecoveryApp();
  ~CRecoveryApp();

  // Takes the single-instance lock (lockFolder: the user's runtime folder when empty), shows the
  // main window and runs the start-up steps. Returns false, after telling the user why, when the
  // process should end: another instance runs, or the lock cannot be taken.
  bool InitInstance(const QString& lockFolder = QString());
  // Takes the drive inventory (CWizardSheet::Kept), asks for the tip of the day (it shows once
  // the event loop runs, so over a start-up wizard) and runs the wizard when
  // "QX_Restora_StartUp" is 1; the setting as it stands after that wizard is written back.
  void RunStartupSteps();

  CMainFrame* Frame() const { return m_frame.get(); }

  // The one setting of the wizard: whether it opens at start-up (0 or 1, absent reads 0).
  static int ReadRunWizardOnStartup();
  static void WriteRunWizardOnStartup(int value);

 private:
  SingleInstance m_instance;
  std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace restora
