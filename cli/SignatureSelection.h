// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the file types of a signature search from the command line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "KnownTypes.h"

namespace restora::cli {

// Consumes --types LIST (extensions or categories, comma-separated; may repeat), --all-types,
// --max-size-kb N and --fixed-size (found files keep the maximum size) from scanner, loads the
// "Signature" file and leaves the selected list in state.signatureList. Without --types or --all-types the types the file marks as selected are
// searched. Returns 1 when ready, 0 with *error set otherwise (also when no type is selected).
int PrepareSignatureSearch(EngineState& state, ArgScanner& scanner, std::string* error);

}  // namespace restora::cli
