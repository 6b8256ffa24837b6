// SPDX-License-Identifier: GPL-3.0-or-later
// The "Raw Data" branch of the scan tree: the folder itself, one folder per category and per
// extension below it, and the found files, named "<sector>.<extension>".
#pragma once

#include <cstdint>
#include <string>

#include "EngineState.h"

namespace restora {

// Name of the folder that holds everything the signature search found.
constexpr std::u16string_view kRawDataName = u"Raw Data";

// Makes a new "Raw Data" folder (status 3) and puts it at the head of the root's children.
// Returns the folder, or null when there is no root.
ScanNode* CreateRawDataFolder(EngineState& state);

// Makes the found-file node for a hit of record at sector below the "Raw Data" folder that heads
// the root's children (made when it is missing), creating the category and extension folders it
// needs; new nodes go to the head of their lists. The size is the compound document's own for
// doc, xls and ppt, otherwise maxSizeMiB MiB, cut at the end of the source (totalSectors).
// Returns 1 when the node was added, 0 when there is no root or the sector lies at or past
// totalSectors (such a file would hold no byte of the source).
int AddFoundFile(EngineState& state, uint64_t sector, const SignatureRecord& record);

// The same, below a given "Raw Data" folder.
int AddFoundFileTo(EngineState& state, ScanNode* rawData, uint64_t sector, const SignatureRecord& record);

// The same, returning the new node (null when none was added), so the search can cut it.
ScanNode* AddFoundFileNode(EngineState& state, ScanNode* rawData, uint64_t sector, const SignatureRecord& record);

// The largest size a found file of record at sector may have: maxSizeMiB MiB, cut at the end of
// the source (totalSectors); 0 at or past that end.
uint64_t MaxFoundFileSize(const EngineState& state, uint64_t sector, const SignatureRecord& record);

// A record's text widened to UTF-16 byte by byte (each byte becomes the code unit of its value).
std::u16string WidenBytes(std::string_view text);

}  // namespace restora
