// SPDX-License-Identifier: GPL-3.0-or-later
// The zip family: zip archives and the documents built on them share the local-entry signature
// and are told apart by the archive's entries, the way compound documents are.
#pragma once

#include <cstdint>

#include "EngineState.h"

namespace restora {

// The family value of the zip-based types in the "Signature" file.
constexpr uint8_t kZipFamily = 3;

// Whether a hit of this record stands for the whole zip family: family 3 and a signature that
// begins with the local-entry bytes "PK" 3 4 at offset 0.
bool IsZipDocumentHit(const SignatureRecord& record);

struct ZipDocument {
  const SignatureRecord* record = nullptr;  // the selected family record of the archive's type
  uint64_t end = 0;                         // the archive's end; 0 when the walk did not reach it
};

// Reads the archive that starts at sector (no further than bound bytes) and names its type
// (docx, xlsx, pptx, odt, ods, odp, epub, apk, jar, or zip). The record is the first of
// signatureList with family 3 and that extension; null when that type is not selected.
ZipDocument IdentifyZipDocument(EngineState& state, uint64_t sector, uint64_t bound);

}  // namespace restora
