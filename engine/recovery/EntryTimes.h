// SPDX-License-Identifier: GPL-3.0-or-later
// The times a saved file takes over from the entry it was found as.
#pragma once

#include "Destination.h"
#include "EngineState.h"

namespace restora {

// The modification and access times of node's entry: NTFS times (FILETIME, UTC) as they are, the
// access time taken as the modification time, which the table scan does not keep; FAT times as
// the local time they were written in (2-second steps), the access date at midnight. A FAT node
// read from a scan file knows only its dates and gets midnight of its last-write date. Found
// files and entries without a time give known = false.
EntryTimes EntryTimesOf(const EngineState& state, const ScanNode& node);

}  // namespace restora
