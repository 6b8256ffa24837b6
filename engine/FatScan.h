// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT directory scan: the folder walk from the root, and the cluster chain walker that the
// recovery writer reuses.
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// Replaces clusterChain with the chain that starts at firstCluster. Returns 1, or 0 when a FAT
// sector cannot be read (the chain built so far stays).
int BuildClusterChain(EngineState& state, uint32_t firstCluster);

// Reads folder and, recursively, every folder below it into the tree. Returns 1 when done, 0
// when keepRunning stopped it.
int WalkFolder(EngineState& state, ScanNode* folder);

}  // namespace restora
