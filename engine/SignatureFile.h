// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signature" file of known file types and the list of selected types.
#pragma once

#include "EngineState.h"

namespace restora {

// Frees every record of signatureList, leaving it empty. Returns 1.
int FreeSignatureList(EngineState& state);

}  // namespace restora
