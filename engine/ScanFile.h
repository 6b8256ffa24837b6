// SPDX-License-Identifier: GPL-3.0-or-later
// The scan information file (".qxs"): the volume description and the whole scan tree.
#pragma once

#include <string>

#include "EngineState.h"

namespace restora {

// Writes volumeInfo, volumePath and the tree to path. Returns 1 when the file could be created.
int WriteScanInfo(EngineState& state, const std::string& path);

// Replaces volumeInfo, the start of volumePath and scanRoot with the content of the file at path.
// Returns 1 on success, 0 when the file cannot be opened or does not start with the signature.
int ReadScanInfo(EngineState& state, const std::string& path);

}  // namespace restora
