// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the data of a file found by the signature search for the recovery writer.
#pragma once

#include "Destination.h"
#include "EngineState.h"

namespace restora {

// Copies a file found by the signature search: size bytes from its start sector (location in
// the NTFS layout, firstCluster in the FAT layout), in 1 MiB reads. A MiB that cannot be read is
// written as zeros, so the rest keeps its place; the copy ends at the source's last sector (a
// size reaching past it comes from a damaged scan file) and at a failed write.
// Returns 1 when every read and write succeeded and the whole size was copied, 0 otherwise.
int CopyRawData(EngineState& state, const ScanNode& node, OutputFile& file);

}  // namespace restora
