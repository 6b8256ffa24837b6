// SPDX-License-Identifier: GPL-3.0-or-later
// Block.OpenForBackup of UDisks2 over the system bus.
#include "UDisksDeviceOpener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>
#include <fcntl.h>
#include <unistd.h>

namespace restora {

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kBlockInterface = "org.freedesktop.UDisks2.Block";
// The authorisation prompt waits for the user.
constexpr int kCallTimeoutMs = 5 * 60 * 1000;

QString HowToGoOn(const QString& devicePath) {
  return QStringLiteral("To read %1, run Ferrolin Restora with the rights to read the device, for example as a "
                        "member of the \"disk\" group or as root.")
      .arg(devicePath);
}

}  // namespace

QString UDisksBlockObjectPath(const QString& devicePath) {
  const QString name = devicePath.section(QLatin1Char('/'), -1);
  QString escaped;
  for (const QChar c : name) {
    if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
        (c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
      escaped += c;
    } else {
      escaped += QStringLiteral("_%1").arg(c.unicode() & 0xFF, 2, 16, QLatin1Char('0'));
    }
  }
  return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + escaped;
}

std::unique_ptr<PosixSourceReader> OpenThroughUDisks(const QString& devicePath, QString* error) {
  auto fail = [&](const QString& why) {
    if (error != nullptr) *error = why + QLatin1Char(' ') + HowToGoOn(devicePath);
    return nullptr;
  };
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    return fail(QStringLiteral("Cannot open %1: the system bus is not available (%2), so UDisks2 cannot be asked.")
                    .arg(devicePath, bus.lastError().message()));
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, UDisksBlockObjectPath(devicePath), kBlockInterface, "OpenForBackup");
  call << QVariantMap();
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
      return fail(QStringLiteral("Cannot open %1: UDisks2 is not running on this system.").arg(devicePath));
    }
    return fail(QStringLiteral("UDisks2 refused to open %1: %2").arg(devicePath, reply.errorMessage()));
  }
  if (reply.arguments().isEmpty() || !reply.arguments().first().canConvert<QDBusUnixFileDescriptor>()) {
    return fail(QStringLiteral("UDisks2 gave no descriptor for %1.").arg(devicePath));
  }
  const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
  // The message keeps its own descriptor; the reader owns a duplicate.
  const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  if (fd < 0) return fail(QStringLiteral("UDisks2 gave no usable descriptor for %1.").arg(devicePath));
  std::string adoptError;
  std::unique_ptr<PosixSourceReader> reader = PosixSourceReader::Adopt(fd, devicePath.toStdString(), &adoptError);
  if (!reader) return fail(QString::fromStdString(adoptError) + QLatin1Char('.'));
  return reader;
}

}  // namespace restora
