// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an NTFS entry's data through its file record: resident bytes, or the clusters of its
// extents, with compressed units decompressed.
#pragma once

#include "Destination.h"
#include "EngineState.h"

namespace restora {

// Rereads the file record at node's location and copies the first data attribute that has
// content (unnamed or named; only this record is read). Resident data is written whole.
// Non-resident data is written by its extents, each cluster at its place in the file: an extent
// with no clusters (sparse) reads as zeros, a compression unit that ends in one is decompressed
// when the attribute is compressed, bytes past the initialized size read as zeros, and the
// output is cut to the attribute's real size. An extent that reaches past the volume ends the
// copy, as does a failed read or write; the clusters read before stay, except those of an
// unfinished compressed unit. An entry without a data attribute with content yields an empty file.
// Returns 1 when the data was copied whole, 0 when the record was unusable, an extent lay
// outside the volume, or a read or write failed.
int CopyNtfsData(EngineState& state, const ScanNode& node, OutputFile& file);

}  // namespace restora
