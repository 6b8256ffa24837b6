// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a device the user may not read: the system's disk service (UDisks2) hands out a
// read-only descriptor after its own authorisation prompt, so the program never runs as root.
#pragma once

#include <QString>
#include <memory>

#include "PosixSourceReader.h"

namespace restora {

// UDisks2's object path for a block device: "/dev/sdb1" → ".../block_devices/sdb1", with every
// character but letters and digits written "_xx" in hexadecimal.
QString UDisksBlockObjectPath(const QString& devicePath);

// Asks UDisks2 on the system bus for a read-only descriptor of devicePath (Block.OpenForBackup).
// Returns the reader, or null with *error saying why (service absent, refused, a descriptor open
// for writing) and how to go on.
std::unique_ptr<PosixSourceReader> OpenThroughUDisks(const QString& devicePath, QString* error);

}  // namespace restora
