// SPDX-License-Identifier: GPL-3.0-or-later
// Icon names of the freedesktop theme and our fallback drawings.
#include "ShellIcons.h"

namespace restora {

namespace {

struct IconName {
  const char* themeName;  // freedesktop icon naming
  const char* fallback;   // our own drawing in the resources
};

IconName NameOf(ShellIconId id) {
  switch (id) {
    case ShellIconId::App: return {"", "app"};
    case ShellIconId::RunWizard: return {"tools-wizard", "wizard"};
    case ShellIconId::Find: return {"edit-find", "find"};
    case ShellIconId::FindNext: return {"go-next", "find-next"};
    case ShellIconId::SaveAll: return {"document-save-all", "save-all"};
    case ShellIconId::SaveSelected: return {"document-save", "save-selected"};
    case ShellIconId::GotoParent: return {"go-up", "parent"};
    case ShellIconId::Update: return {"system-software-update", "update"};
    case ShellIconId::Contents: return {"help-contents", "contents"};
    case ShellIconId::Stop: return {"process-stop", "stop"};
    case ShellIconId::LogRunning: return {"dialog-information", "log-running"};
    case ShellIconId::LogAborted: return {"dialog-error", "log-aborted"};
    case ShellIconId::LogCompleted: return {"emblem-default", "log-completed"};
    case ShellIconId::Folder: return {"folder", "folder"};
    case ShellIconId::DeletedFolder: return {"", "folder-deleted"};
    case ShellIconId::File: return {"text-x-generic", "file"};
    case ShellIconId::DeletedFile: return {"", "file-deleted"};
  }
  return {"", "app"};
}

}  // namespace

QIcon ShellIcon(ShellIconId id) {
  const IconName name = NameOf(id);
  const QIcon fallback(QStringLiteral(":/restora/icons/%1.svg").arg(QLatin1String(name.fallback)));
  if (name.themeName[0] == '\0') return fallback;
  return QIcon::fromTheme(QLatin1String(name.themeName), fallback);
}

QIcon LogStateIcon(LogState state) {
  switch (state) {
    case LogState::Running: return ShellIcon(ShellIconId::LogRunning);
    case LogState::Aborted: return ShellIcon(ShellIconId::LogAborted);
    case LogState::Completed: return ShellIcon(ShellIconId::LogCompleted);
  }
  return {};
}

}  // namespace restora
