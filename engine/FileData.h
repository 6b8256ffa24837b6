// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the data of a found file for the recovery writer: a file of the signature search as a
// run of consecutive sectors, a FAT entry along its clusters.
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

// Copies a FAT entry's data, cut to its size: along its cluster chain when the chain holds
// exactly the clusters the size needs (chain mode), otherwise from the consecutive clusters that
// start at its first cluster (contiguous mode, the usual case for a deleted file whose FAT
// entries were cleared). An unreadable cluster is written as zeros; the copy ends at a cluster
// outside the data area and at a failed write. clusterChain is empty afterwards.
// Returns 1 when every read and write succeeded and the whole size was copied, 0 otherwise.
int CopyFatData(EngineState& state, const ScanNode& node, OutputFile& file);

}  // namespace restora
