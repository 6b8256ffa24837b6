// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the FAT walk lands.
#include "FatScan.h"

namespace restora {

int BuildClusterChain(EngineState& state, uint32_t firstCluster) {
  state.clusterChain.assign(1, ClusterLink{firstCluster});
  return 1;
}

int WalkFolder(EngineState&, ScanNode*) { return 1; }

}  // namespace restora
