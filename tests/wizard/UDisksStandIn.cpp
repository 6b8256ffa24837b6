// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for UDisks2 on a private bus: block device "goodimage" hands out a read-only
// descriptor of an image file, "writable" one open for writing, and "refused" says no.
// Usage: udisks_standin BUS_ADDRESS IMAGE
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>
#include <fcntl.h>
#include <unistd.h>

namespace {

class Block : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Block")
 public:
  Block(QString image, int mode) : m_image(std::move(image)), m_mode(mode) {}

 public slots:
  QDBusUnixFileDescriptor OpenForBackup(const QVariantMap& options) {
    Q_UNUSED(options);
    if (m_mode < 0) {
      sendErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed"),
                     QStringLiteral("Not authorized to perform operation"));
      return {};
    }
    const int fd = ::open(m_image.toLocal8Bit().constData(), m_mode | O_CLOEXEC);
    QDBusUnixFileDescriptor descriptor(fd);
    ::close(fd);
    return descriptor;
  }

 private:
  QString m_image;
  int m_mode;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), QStringLiteral("standin"));
  const QString image = QString::fromLocal8Bit(argv[2]);
  Block good(image, O_RDONLY), writable(image, O_RDWR), refused(image, -1);
  const QString base = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
  bus.registerObject(base + "goodimage", &good, QDBusConnection::ExportAllSlots);
  bus.registerObject(base + "writable", &writable, QDBusConnection::ExportAllSlots);
  bus.registerObject(base + "refused", &refused, QDBusConnection::ExportAllSlots);
  if (!bus.registerService(QStringLiteral("org.freedesktop.UDisks2"))) return 3;
  return app.exec();
}

#include "UDisksStandIn.moc"
