// SPDX-License-Identifier: GPL-3.0-or-later
// A small chooser of job and source behind Run Wizard: the job, the source (an image file or a
// device path) and, for an image, where to write it. It prepares the engine as the wizard does
// (the source open, the known types selected) and logs the choice.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "EngineState.h"
#include "LogEntry.h"

class QWidget;

namespace restora {

// What Run Wizard hands the window when the user finished it.
struct WizardOutcome {
  bool finished = false;
  uint8_t jobChoice = 0;  // 1 fast, 2 lost, 3 advanced file recovery, 4 create image
  std::shared_ptr<LogEntry> logEntry;
  QString imageFolder;    // create image only
  QString imageFileName;  // create image only
  QString sourcePath;     // the source left open in the engine (jobs 1 to 3)
  std::shared_ptr<EngineState> imagingEngine;  // create image: the drive open in a state of its own
};

using LogSender = std::function<void(LogEntry*)>;

// Runs the chooser modally over parent. On Finish the source is open (in engine, or for Create
// Image in the outcome's imagingEngine, engine left alone) and the choice has been logged
// through sendLog.
WizardOutcome RunMinimalJobChooser(QWidget* parent, EngineState& engine, const LogSender& sendLog);

}  // namespace restora
