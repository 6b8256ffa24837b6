// SPDX-License-Identifier: GPL-3.0-or-later
// One job's entry in the process log: its texts and state, changed and sent again for every row.
#pragma once

#include <QString>
#include <cstdint>

namespace restora {

enum class LogState : uint8_t { Running = 0, Aborted = 1, Completed = 2 };

struct LogEntry {
  QString processText;  // column "Process Name"
  QString description;  // column "Description"
  QString timeText;     // set by the log list when it adds a row
  LogState state = LogState::Running;
};

}  // namespace restora
