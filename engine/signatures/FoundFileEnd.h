// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting a found file at the end its format gives: its bytes read from the open source, from
// its start sector up to a bound.
#pragma once

#include <cstdint>
#include <string_view>

#include "EngineState.h"
#include "FileBytes.h"

namespace restora {

// The bytes of the source from sector on, no further than bound bytes; a failed read counts as
// the end of what can be read.
FileBytes FoundFileBytes(EngineState& state, uint64_t sector, uint64_t bound);

// Gives the found file (a hit of extension at sector) the size its format ends at within bound,
// the largest size it may have. Returns 1 when the size was set, 0 when the file keeps its size
// (the format gives no end within the bound).
int CutAtFormatEnd(EngineState& state, ScanNode& file, uint64_t sector, std::string_view extension, uint64_t bound);

}  // namespace restora
