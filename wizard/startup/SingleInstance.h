// SPDX-License-Identifier: GPL-3.0-or-later
// Only one copy of the desktop program runs per user: the first holds a lock file in the user's
// runtime folder until it ends.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace restora {

class SingleInstance {
 public:
  enum class Outcome { First, AlreadyRunning, Failed };

  // The lock file's path: folder + the program's instance name.
  static QString LockPath(const QString& folder);

  // Takes the lock in folder (the user's runtime folder when empty) and keeps it while this
  // object lives. A lock left by a process that has ended is taken over.
  Outcome Acquire(const QString& folder = QString());

 private:
  std::unique_ptr<QLockFile> m_lock;
};

}  // namespace restora
