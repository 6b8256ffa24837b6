// SPDX-License-Identifier: GPL-3.0-or-later
// The signature search: files of the selected types found by their first bytes, listed under
// "Raw Data".
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// Sectors in one block of the search: the unit of progress and of the stop check.
constexpr uint64_t kSearchBlockSectors = 63;

// Blocks read at once; the sectors are still examined block by block, in order.
constexpr uint64_t kSearchBlocksPerRead = 16;

// Searches the whole open source for the types of signatureList (the selected list), sector by
// sector and, within a sector, record by record from the list's head, and files every hit below
// a new "Raw Data" folder at the head of the root's children (AddFoundFile). A hit of the
// compound-document family is filed under the type its directory names, a hit of the zip family
// under the type its entries name, each once per sector. With cutAtFormatEnd each found file is
// cut at the end its format gives within its maximum size; a PDF or PostScript file at the last
// end marker before the next found file's start. Only
// sectors below totalSectors that the source holds are examined; a failed read is searched as
// zeros. Reports progress once per 63-sector block (done = the block's first sector, total =
// totalSectors) after asking KeepRunning.
// Returns 1 when it reached the end of the source, 0 when keepRunning stopped it (or when
// there is no root to file into).
int SearchSignatures(EngineState& state);

}  // namespace restora
