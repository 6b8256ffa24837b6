// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a FAT entry's data for the recovery writer, along its clusters.
#pragma once

#include "Destination.h"
#include "EngineState.h"
#include "FatChain.h"

namespace restora {

// Copies a FAT entry's data, cut to its size: along its cluster chain when the chain holds
// exactly the clusters the size needs (chain mode), otherwise from the consecutive clusters that
// start at its first cluster (contiguous mode, the usual case for a deleted file whose FAT
// entries were cleared). An unreadable cluster is written as zeros; the copy ends at a cluster
// outside the data area and at a failed write. clusterChain is empty afterwards.
// Returns 1 when every read and write succeeded and the whole size was copied, 0 otherwise.
int CopyFatData(EngineState& state, const ScanNode& node, OutputFile& file);

// The percent of the clusters CopyFatData would read for node that the FAT now marks as used
// (entry not 0), or that lie past the FAT: 0 when all of them are free, 100 when none is; a
// share between is never shown as 0 or 100. Replaces state.clusterChain (empty afterwards).
// Returns kOverwrittenUnknown when the node has no size or the FAT cannot be read.
uint8_t FatOverwrittenPercent(EngineState& state, FatTable& table, const ScanNode& node);

}  // namespace restora
