// SPDX-License-Identifier: GPL-3.0-or-later
// The image file's proposed name, the free-space text shown for its folder, and the check that
// keeps the image off the drive it copies.
#pragma once

#include <QDate>
#include <QString>

#include <cstdint>

namespace restora {

// "Ferrolin Restora Image # Sat, 05-Dec-2026": day name, two-digit day, month name (September
// is "Sept"), year.
QString ProposedImageFileName(const QDate& date);

// "Space Available :   1.000 MB": KB below 1 MiB, MB below 1 GiB, GB from there on.
QString FreeSpaceText(uint64_t freeBytes);

// The folder of a full path: everything before its last "/" (empty for a file in "/").
QString FolderOfPath(const QString& path);

// Why an image of sourceDevice must not be written to imagePath, or empty when it may: the path
// is the source itself or names something that is not a regular file (a device node), or its
// folder lies on the source device or on a device built on it.
QString ImageDestinationRefusal(const QString& sourceDevice, const QString& imagePath);

}  // namespace restora
