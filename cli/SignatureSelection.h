// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the file types of a signature search from the command line.
#pragma once

#include <string>

#include "CliSupport.h"

namespace restora::cli {

// Consumes --types LIST, --all-types and --max-size-kb N from scanner, loads the "Signature"
// file and leaves the selected list in state.signatureList. Returns 1 when ready, 0 with *error
// set otherwise.
int PrepareSignatureSearch(EngineState& state, ArgScanner& scanner, std::string* error);

}  // namespace restora::cli
