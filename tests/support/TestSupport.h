// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EngineState.h"
#include "VolumeAccess.h"

namespace restora::test {

// Opens bytes as the state's source in the given mode (a memory source). Returns OpenSource's result.
int OpenMemorySource(EngineState& state, std::vector<uint8_t> bytes, OpenMode mode = OpenMode::Image);

// The folder of the public sample images (../shared/corpus/real beside the checkout), or empty
// when it is not there.
std::string CorpusFolder();

// The whole content of a file, or empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace restora::test
