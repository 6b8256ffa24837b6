// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a FAT entry's data for the recovery writer, along its clusters.
#pragma once

#include "Destination.h"
#include "EngineState.h"

namespace restora {

// Copies a FAT entry's data, cut to its size: along its cluster chain when the chain holds
// exactly the clusters the size needs (chain mode), otherwise from the consecutive clusters that
// start at its first cluster (contiguous mode, the usual case for a deleted file whose FAT
// entries were cleared). An unreadable cluster is written as zeros; the copy ends at a cluster
// outside the data area and at a failed write. clusterChain is empty afterwards.
// Returns 1 when every read and write succeeded and the whole size was copied, 0 otherwise.
int CopyFatData(EngineState& state, const ScanNode& node, OutputFile& file);

}  // namespace restora
