// SPDX-License-Identifier: GPL-3.0-or-later
// The NTFS directory scan: every record of the master file table, deleted files hung under their
// rebuilt folder paths.
#pragma once

#include "EngineState.h"

namespace restora {

// Scans the whole table below scanRoot. Returns 1 when it ran to the end, 0 when keepRunning
// stopped it.
int ScanMft(EngineState& state);

}  // namespace restora
