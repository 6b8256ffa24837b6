// SPDX-License-Identifier: GPL-3.0-or-later
// Filing the hits of the signature search into the scan tree.
#include "FoundFile.h"

#include "CompoundDocument.h"
#include "ScanTree.h"

namespace restora {

namespace {

// The child folder of parent called name, made at the head of parent's children when missing.
ScanNode* FolderNamed(EngineState& state, ScanNode* parent, const std::u16string& name) {
  for (ScanNode* child = parent->firstChild; child != nullptr; child = child->next) {
    if (child->IsFolderStatus() && child->name == name) return child;
  }
  ScanNode* folder = NewNode(state);
  folder->name = name;
  folder->status = kStatusLiveFolder;
  PushChildFront(parent, folder);
  return folder;
}

}  // namespace

std::u16string WidenBytes(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

ScanNode* CreateRawDataFolder(EngineState& state) {
  if (state.scanRoot == nullptr) return nullptr;
  ScanNode* folder = NewNode(state);
  folder->name = kRawDataName;
  folder->status = kStatusLiveFolder;
  PushChildFront(state.scanRoot, folder);
  return folder;
}

int AddFoundFile(EngineState& state, uint64_t sector, const SignatureRecord& record) {
  if (state.scanRoot == nullptr) return 0;
  ScanNode* rawData = state.scanRoot->firstChild;
  if (rawData == nullptr || rawData->name != kRawDataName || !rawData->IsFolderStatus()) {
    rawData = CreateRawDataFolder(state);
  }
  return AddFoundFileTo(state, rawData, sector, record);
}

uint64_t MaxFoundFileSize(const EngineState& state, uint64_t sector, const SignatureRecord& record) {
  const uint64_t totalSectors = state.volumeInfo.totalSectors;
  if (sector >= totalSectors) return 0;
  const uint64_t size = uint64_t{record.maxSizeMiB} * 1048576;
  return size / kSectorSize > totalSectors - sector ? (totalSectors - sector) * kSectorSize : size;
}

int AddFoundFileTo(EngineState& state, ScanNode* rawData, uint64_t sector, const SignatureRecord& record) {
  return AddFoundFileNode(state, rawData, sector, record) != nullptr ? 1 : 0;
}

ScanNode* AddFoundFileNode(EngineState& state, ScanNode* rawData, uint64_t sector, const SignatureRecord& record) {
  const uint64_t totalSectors = state.volumeInfo.totalSectors;
  if (rawData == nullptr || sector >= totalSectors) return nullptr;

  const std::u16string extension = WidenBytes(record.ExtensionText());
  ScanNode* category = FolderNamed(state, rawData, WidenBytes(record.CategoryText()));
  ScanNode* typeFolder = FolderNamed(state, category, extension);

  uint64_t size = IsCompoundDocumentType(record) ? CompoundDocumentSize(state, sector)
                                                 : uint64_t{record.maxSizeMiB} * 1048576;
  // A file that would run past the end of the source is cut there; one that ends at it stays.
  if (size / kSectorSize > totalSectors - sector) size = (totalSectors - sector) * kSectorSize;

  ScanNode* file = NewNode(state);
  file->name = WidenBytes(std::to_string(sector)) + u"." + extension;
  file->size = size;
  if (state.NtfsLayout()) {
    file->location = sector;
  } else {
    file->firstCluster = static_cast<uint32_t>(sector);  // the FAT layout keeps the low 32 bits
  }
  file->carveSource = state.volumeInfo.kind == SourceKind::Disk ? kCarveDisk : kCarveVolume;
  PushChildFront(typeFolder, file);
  return file;
}

}  // namespace restora
