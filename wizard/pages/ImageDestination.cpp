// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageDestination.h"

#include <QFileInfo>

#include <array>
#include <string>

#include "DeviceOverlap.h"
#include "SourceGuard.h"

namespace restora {

QString ProposedImageFileName(const QDate& date) {
  static constexpr std::array<const char*, 7> kDays{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
  return QStringLiteral("Ferrolin Restora Image # %1, %2-%3-%4")
      .arg(QLatin1String(kDays.at(date.dayOfWeek() - 1)))
      .arg(date.day(), 2, 10, QLatin1Char('0'))
      .arg(QLatin1String(kMonths.at(date.month() - 1)))
      .arg(date.year());
}

QString FreeSpaceText(uint64_t freeBytes) {
  const double bytes = static_cast<double>(freeBytes);
  const char* unit = "GB";
  double value = bytes / 1073741824.0;
  if (freeBytes < 1048576) {
    unit = "KB";
    value = bytes / 1024.0;
  } else if (freeBytes < 1073741824) {
    unit = "MB";
    value = bytes / 1048576.0;
  }
  return QStringLiteral("Space Available : %1 %2").arg(value, 7, 'f', 3).arg(QLatin1String(unit));
}

QString FolderOfPath(const QString& path) { return path.left(std::max<qsizetype>(path.lastIndexOf(u'/'), 0)); }

QString ImageDestinationRefusal(const QString& sourceDevice, const QString& imagePath) {
  const std::string same = WhyOutputTouchesSource(sourceDevice.toStdString(), imagePath.toStdString());
  if (!same.empty()) return QString::fromStdString(same);
  // A device node is never an image file: writing there would overwrite another disk.
  const QFileInfo image(imagePath);
  if (image.exists() && !image.isFile()) return QStringLiteral("%1 is not a regular file").arg(imagePath);
  QString folder = FolderOfPath(imagePath);
  if (folder.isEmpty()) folder = QStringLiteral("/");
  std::string reason;
  if (DestinationOnSourceDevice(sourceDevice.toStdString(), folder.toStdString(), &reason) == 1) {
    return QString::fromStdString(reason);
  }
  return {};
}

}  // namespace restora
