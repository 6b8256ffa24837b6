// SPDX-License-Identifier: GPL-3.0-or-later
// Filing zip-based documents under their own types.
#include "ZipDocument.h"

#include <cstring>

#include "FoundFileEnd.h"
#include "ZipArchive.h"

namespace restora {

bool IsZipDocumentHit(const SignatureRecord& record) {
  return record.family == kZipFamily && record.headerOffset == 0 && record.headerLength >= 4 &&
         std::memcmp(record.headerBytes.data(), "PK\x03\x04", 4) == 0;
}

ZipDocument IdentifyZipDocument(EngineState& state, uint64_t sector, uint64_t bound) {
  FileBytes bytes = FoundFileBytes(state, sector, bound);
  const ZipArchiveInfo archive = ReadZipArchive(bytes);
  ZipDocument document;
  document.end = archive.end;
  for (const SignatureRecord& record : state.signatureList) {
    if (record.family == kZipFamily && record.ExtensionText() == archive.type) {
      document.record = &record;
      break;
    }
  }
  return document;
}

}  // namespace restora
