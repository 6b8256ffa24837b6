// SPDX-License-Identifier: GPL-3.0-or-later
// Identifying Word, Excel and PowerPoint documents of the compound file format.
#include "CompoundDocument.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "ByteReader.h"
#include "CompoundFile.h"
#include "FoundFileEnd.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint8_t kCompoundMagic[4] = {0xD0, 0xCF, 0x11, 0xE0};
constexpr size_t kAllocationCountAt = 0x2C;  // sectors of the allocation table
constexpr size_t kDirectoryStartAt = 0x30;   // first sector of the directory
constexpr size_t kDirectoryEntrySize = 128;
constexpr size_t kEntriesExamined = 4;

// Names of directory entries are UTF-16LE; only their first four characters are compared.
constexpr uint8_t kRootName[8] = {'R', 0, 'o', 0, 'o', 0, 't', 0};
constexpr uint8_t kWordName[8] = {'W', 0, 'o', 0, 'r', 0, 'd', 0};
constexpr uint8_t kWorkName[8] = {'W', 0, 'o', 0, 'r', 0, 'k', 0};

}  // namespace

bool IsCompoundDocumentType(const SignatureRecord& record) {
  const std::string_view extension = record.ExtensionText();
  return extension == "doc" || extension == "xls" || extension == "ppt";
}

bool IsCompoundDocumentHit(const SignatureRecord& record) {
  return record.headerLength >= 4 && std::memcmp(record.headerBytes.data(), kCompoundMagic, 4) == 0 &&
         IsCompoundDocumentType(record);
}

const SignatureRecord* IdentifyCompoundDocument(EngineState& state, uint64_t sector) {
  std::array<uint8_t, kSectorSize> header{};
  (void)ReadSectors(state, sector, header);  // what a failed read leaves is zero
  // The first rule: the document's sector d lies d + 1 sectors from its start, behind the
  // header, and the first four entries there name the type.
  std::string_view type;
  bool root = false;
  const uint64_t directorySector = sector + uint64_t{LoadU32(header, kDirectoryStartAt)} + 1;
  if (directorySector > sector) {
    std::array<uint8_t, kSectorSize> directory{};
    (void)ReadSectors(state, directorySector, directory);
    root = std::memcmp(directory.data(), kRootName, sizeof kRootName) == 0;
    for (size_t entry = 0; root && entry < kEntriesExamined && type.empty(); ++entry) {
      const uint8_t* name = directory.data() + entry * kDirectoryEntrySize;
      if (std::memcmp(name, kWordName, sizeof kWordName) == 0) type = "doc";
      if (std::memcmp(name, kWorkName, sizeof kWorkName) == 0) type = "xls";
    }
  }
  // Otherwise the whole directory, followed through the allocation table (documents with
  // 4096-byte sectors, or whose main stream's entry comes later), names it.
  if (type.empty()) {
    const uint64_t total = state.volumeInfo.totalSectors;
    uint64_t bound = 0;  // the largest maximum size among the family's records, within the source
    for (const SignatureRecord& record : state.signatureList) {
      if (record.family == 2) bound = std::max(bound, uint64_t{record.maxSizeMiB} * 1048576);
    }
    if (sector >= total) return nullptr;
    FileBytes bytes = FoundFileBytes(state, sector, std::min(bound, (total - sector) * kSectorSize));
    const CompoundFileInfo info = ReadCompoundFile(bytes);
    if (info.hasRoot && !info.type.empty()) {
      type = info.type;
    } else if (info.hasRoot || root) {
      type = "ppt";
    } else {
      return nullptr;
    }
  }
  for (const SignatureRecord& record : state.signatureList) {
    if (record.family == 2 && record.ExtensionText() == type) return &record;
  }
  return nullptr;
}

uint64_t CompoundDocumentSize(EngineState& state, uint64_t sector) {
  std::array<uint8_t, kSectorSize> header{};
  (void)ReadSectors(state, sector, header);
  return uint64_t{LoadU32(header, kAllocationCountAt)} * 65536 + kSectorSize;
}

}  // namespace restora
