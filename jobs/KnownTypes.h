// SPDX-License-Identifier: GPL-3.0-or-later
// The known file types: the records of the "Signature" file shipped with the program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "EngineState.h"

namespace restora {

// Loads the full list of known types from the "Signature" file beside the program (or in the
// installed data folder) into fullList, in file order, and closes the file again. Sets *folder
// (when given) to the folder it came from. Returns 1 when loaded, 0 with *error set otherwise.
int LoadKnownTypes(EngineState& state, std::vector<SignatureRecord>& fullList, std::string* error,
                   std::filesystem::path* folder = nullptr);

}  // namespace restora
