// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icons: the desktop theme's icon where it has one, our own drawing otherwise.
#pragma once

#include <QIcon>

#include "LogEntry.h"

namespace restora {

enum class ShellIconId {
  App, RunWizard, Find, FindNext, SaveAll, SaveSelected, GotoParent, Update, Contents, Stop,
  LogRunning, LogAborted, LogCompleted, Folder, DeletedFolder, File, DeletedFile,
};

QIcon ShellIcon(ShellIconId id);
QIcon LogStateIcon(LogState state);

}  // namespace restora
