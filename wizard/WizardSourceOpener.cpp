// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the wizard's source, plainly or through UDisks2.
#include "WizardSourceOpener.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "SourceOpener.h"
#include "UDisksDeviceOpener.h"

namespace restora {

int OpenWizardSource(EngineState& state, const QString& devicePath, bool asDisk, QString* message) {
  const std::string path = devicePath.toStdString();
  std::string error;
  const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const int openError = errno;
  if (probe >= 0) ::close(probe);
  if (probe < 0 && (openError == EACCES || openError == EPERM)) {
    QString why;
    std::unique_ptr<PosixSourceReader> reader = OpenThroughUDisks(devicePath, &why);
    if (!reader) {
      if (message != nullptr) *message = why;
      return 0;
    }
    if (OpenSourceReader(state, std::move(reader), path, asDisk, &error)) return 1;
  } else if (OpenSourcePath(state, path, asDisk, &error)) {
    return 1;
  }
  if (message != nullptr) *message = QString::fromStdString(error);
  return 0;
}

QString FailedToOpenDriveText(const QString& devicePath, const QString& why) {
  return QStringLiteral("Failed to open drive %1").arg(devicePath) + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why);
}

}  // namespace restora
