// SPDX-License-Identifier: GPL-3.0-or-later
// The compound-document family (Word, Excel and PowerPoint 97-2003 files share one signature):
// telling its members apart through the document's directory, and a found document's size.
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// Whether a hit of this record stands for the whole family: the record's signature is at least
// 4 bytes long and begins with 0xD0 0xCF 0x11 0xE0, and its extension is exactly "doc", "xls" or
// "ppt". Such a hit is filed under the type the directory names, not under the record itself.
bool IsCompoundDocumentHit(const SignatureRecord& record);

// Whether a found file of this record takes its size from the document header: the extension is
// exactly "doc", "xls" or "ppt".
bool IsCompoundDocumentType(const SignatureRecord& record);

// Reads the compound document that starts at sector (its 512-byte header), then the first sector
// of its directory, and names its type by the directory's first four entries: "doc" for a name
// beginning "Word", "xls" for one beginning "Work" (the first such entry decides). When they name
// neither, the whole directory is walked: a "WordDocument" stream makes it "doc", "Workbook" or
// "Book" "xls", "PowerPoint Document" or none of them "ppt".
// Returns the first record of signatureList with family 2 and that extension; null when neither
// the first directory sector nor the walked directory begins with the root entry, or no such
// record exists.
const SignatureRecord* IdentifyCompoundDocument(EngineState& state, uint64_t sector);

// The size of the compound document at sector: its count of allocation-table sectors × 65,536
// (each 512-byte table sector maps 128 sectors) plus the 512-byte header. An unreadable header
// counts 0 table sectors.
uint64_t CompoundDocumentSize(EngineState& state, uint64_t sector);

}  // namespace restora
