// SPDX-License-Identifier: GPL-3.0-or-later
// The signature search: files of the selected types found by their first bytes, listed under
// "Raw Data".
#pragma once

#include "EngineState.h"

namespace restora {

// Searches the whole open source for the types of signatureList. Returns 1 when it reached the
// end of the source, 0 when keepRunning stopped it.
int SearchSignatures(EngineState& state);

}  // namespace restora
