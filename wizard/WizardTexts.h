// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the wizard's information panels: job descriptions and the details of a drive or
// disk from the inventory.
#pragma once

#include <QStringList>
#include <cstdint>

#include "DriveRecords.h"

namespace restora {

// The wizard's jobs; 0 while none is chosen.
enum JobChoice : uint8_t {
  kNoJob = 0,
  kFastFileRecovery = 1,
  kLostFileRecovery = 2,
  kAdvancedFileRecovery = 3,
  kCreateImage = 4
};

// The option button labels of the main page, by job 1..4 (Advanced File Recovery with its seven
// leading blanks).
QString OptionLabel(int job);

// The main page's panel: the overview without a choice, otherwise the chosen job's description.
QStringList OptionDescription(int job);

// The drive selection page's panel while nothing is chosen; empty for other jobs.
QStringList JobDescription(int job);

QStringList DriveInformation(const LogicalDriveRecord& drive);
QStringList DiskInformation(const DiskRecord& disk);

}  // namespace restora
