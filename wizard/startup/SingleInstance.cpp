// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace restora {

QString SingleInstance::LockPath(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("GlobalMutexQX-QUILLION561F1438_5FE8_4312_A9B3_59218E7C1062.lock"));
}

SingleInstance::Outcome SingleInstance::Acquire(const QString& folder) {
  QString place = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
  if (place.isEmpty()) place = QDir::tempPath();
  m_lock = std::make_unique<QLockFile>(LockPath(place));
  // A running instance holds the lock however long it runs; only a dead holder's lock is stale.
  m_lock->setStaleLockTime(0);
  if (m_lock->tryLock(0)) return Outcome::First;
  return m_lock->error() == QLockFile::LockFailedError ? Outcome::AlreadyRunning : Outcome::Failed;
}

}  // namespace restora
