// SPDX-License-Identifier: GPL-3.0-or-later
// How the wizard opens the source it hands to the engine: a drive or disk by its device path,
// through UDisks2 when the user may not read the device.
#pragma once

#include <QString>

#include "EngineState.h"

namespace restora {

// Opens devicePath read-only into the engine, as a whole disk when asDisk. A device the user may
// not open is asked of UDisks2. Returns 1 when the source is open and described, 0 otherwise
// with *message telling why (and how to go on); the caller runs CleanUp after a 0.
[[nodiscard]] int OpenWizardSource(EngineState& state, const QString& devicePath, bool asDisk, QString* message);

// The error a page shows when OpenWizardSource failed: "Failed to open drive DEVICE", then why.
QString FailedToOpenDriveText(const QString& devicePath, const QString& why);

}  // namespace restora
