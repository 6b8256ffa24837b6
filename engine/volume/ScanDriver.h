// SPDX-License-Identifier: GPL-3.0-or-later
// The one entry that runs a scan of the open source, and the clean-up that discards all scan
// state and closes the source.
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// Creates the root and runs the scans the source's kind and the job call for: the directory scan
// (FAT walk or table scan), followed by the signature search when withSignatureSearch is 1; a
// whole disk gets the signature search alone; a disk opened with partitions (state.partitions)
// gets each partition scanned as a volume (ScanPartitions). Numbers the tree once at the end, also after a
// stop. Returns 1 when the last step ran to its end, 0 when a step was stopped.
int ScanSource(EngineState& state, uint8_t withSignatureSearch);

// Closes the partitions, the source and the signature file, frees the table extents, the signature list and the
// tree, and clears volumeInfo. volumePath and clusterChain are left. Returns 1.
int CleanUp(EngineState& state);

}  // namespace restora
