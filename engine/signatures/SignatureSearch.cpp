// SPDX-License-Identifier: GPL-3.0-or-later
// The main loop of the signature search: large reads, examined in 63-sector blocks.
#include "SignatureSearch.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "CompoundDocument.h"
#include "FileEnd.h"
#include "FoundFile.h"
#include "FoundFileEnd.h"
#include "SectorRead.h"
#include "SignatureMatcher.h"
#include "ZipDocument.h"

namespace restora {

namespace {

constexpr size_t kBlockBytes = kSearchBlockSectors * kSectorSize;

// The last sector (exclusive) the search examines: totalSectors, cut at the end of what the
// source holds when it can tell its size, so a boot sector that claims far more sectors than
// the source has does not keep the search reading nothing for hours.
uint64_t SearchEnd(const EngineState& state) {
  uint64_t end = state.volumeInfo.totalSectors;
  if (state.deviceHandle) {
    const uint64_t bytes = state.deviceHandle->SizeBytes();
    if (bytes > 0) end = std::min(end, bytes / kSectorSize + (bytes % kSectorSize != 0 ? 1 : 0));
  }
  // Sectors whose byte offset does not fit 64 bits cannot be read.
  return std::min(end, ~uint64_t{0} / kSectorSize);
}

// Fills buffer with blockCount blocks from firstSector on. One large read serves when it
// delivers everything; otherwise the blocks are read again one by one into cleared space, so
// a failing or short read loses exactly the blocks it would lose read block by block.
void ReadBlocks(EngineState& state, uint64_t firstSector, size_t blockCount, std::vector<uint8_t>& buffer) {
  const size_t length = blockCount * kBlockBytes;
  size_t delivered = 0;
  const std::span<uint8_t> whole(buffer.data(), length);
  if (state.deviceHandle && state.deviceHandle->ReadAt(firstSector * kSectorSize, whole, &delivered) == 1) {
    // A read that succeeded delivered a prefix; what it did not deliver reads as zeros, as it
    // would from a cleared buffer, without clearing megabytes that the read overwrites anyway.
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(std::min(delivered, length)),
              buffer.begin() + static_cast<std::ptrdiff_t>(length), uint8_t{0});
    if (delivered == length) return;
  }
  if (!state.deviceHandle) {
    std::fill_n(buffer.begin(), length, uint8_t{0});
    return;
  }
  for (size_t block = 0; block < blockCount; ++block) {
    const std::span<uint8_t> part(buffer.data() + block * kBlockBytes, kBlockBytes);
    std::fill(part.begin(), part.end(), uint8_t{0});
    (void)ReadSectors(state, firstSector + block * kSearchBlockSectors, part);
  }
}

// Found files that end at their last end marker (PDF): their bound is the next found file's start,
// so they wait for it; those still waiting when the search ends are bounded by their own size.
class WaitingEnds {
 public:
  void Add(ScanNode* file, uint64_t sector, std::string_view extension) {
    waiting_.push_back({file, sector, extension});
  }

  // A file was found at sector: the files waiting from an earlier sector end before it.
  void FoundAt(EngineState& state, uint64_t sector) {
    for (size_t i = 0; i < waiting_.size();) {
      Waiting& w = waiting_[i];
      if (w.sector >= sector) {
        ++i;
        continue;
      }
      (void)CutAtFormatEnd(state, *w.file, w.sector, w.extension, std::min(w.file->size, (sector - w.sector) * kSectorSize));
      waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

  void SearchEnded(EngineState& state) {
    for (Waiting& w : waiting_) (void)CutAtFormatEnd(state, *w.file, w.sector, w.extension, w.file->size);
    waiting_.clear();
  }

 private:
  struct Waiting {
    ScanNode* file;
    uint64_t sector;
    std::string_view extension;  // points into the selected list, which outlives the search
  };
  std::vector<Waiting> waiting_;
};

// Where the last found file of each type that was cut at its format's end stops. A hit of the
// same type before that sector is a structure inside that file (an MPEG pack, the header of a
// tar member), not a file of its own.
class CoveredSectors {
 public:
  bool Covers(std::string_view extension, uint64_t sector) const {
    for (const auto& [type, end] : ends_) {
      if (type == extension) return sector < end;
    }
    return false;
  }
  void FileEnds(std::string_view extension, uint64_t sector, uint64_t size) {
    const uint64_t end = sector + size / kSectorSize + (size % kSectorSize != 0 ? 1 : 0);
    for (auto& [type, last] : ends_) {
      if (type == extension) return void(last = std::max(last, end));
    }
    ends_.emplace_back(extension, end);
  }

 private:
  std::vector<std::pair<std::string_view, uint64_t>> ends_;  // views into the selected list
};

// Files one hit of a type with no family, and cuts it at its format's end.
void FileHit(EngineState& state, ScanNode* rawData, uint64_t sector, const SignatureRecord& record,
             WaitingEnds& waiting, CoveredSectors& covered) {
  if (covered.Covers(record.ExtensionText(), sector)) return;
  ScanNode* file = AddFoundFileNode(state, rawData, sector, record);
  if (file == nullptr) return;
  waiting.FoundAt(state, sector);
  if (!state.cutAtFormatEnd) return;
  if (EndIsLastMarker(record.ExtensionText())) {
    waiting.Add(file, sector, record.ExtensionText());
  } else {
    // Within the maximum size, not the listed one: the compound document's count formula falls
    // short of documents with 4096-byte sectors; when no end is found, the formula stays.
    if (CutAtFormatEnd(state, *file, sector, record.ExtensionText(), MaxFoundFileSize(state, sector, record)) == 1) {
      covered.FileEnds(record.ExtensionText(), sector, file->size);
    }
  }
}

int Search(EngineState& state) {
  ScanNode* rawData = CreateRawDataFolder(state);
  if (rawData == nullptr) return 0;
  const uint64_t totalSectors = state.volumeInfo.totalSectors;
  if (totalSectors == 0) return 1;

  const std::vector<SignatureRecord>& list = state.signatureList;
  const SignatureMatcher matcher(list);
  for (const uint32_t index : matcher.Unusable()) {
    state.ReportDiagnostic("file type \"" + std::string(list[index].TypeNameText()) +
                           "\" skipped: its signature is empty or reaches past the sector");
  }
  std::vector<bool> compoundHit(list.size()), zipHit(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    compoundHit[i] = IsCompoundDocumentHit(list[i]);
    zipHit[i] = IsZipDocumentHit(list[i]);
  }
  WaitingEnds waiting;
  CoveredSectors covered;

  const uint64_t end = SearchEnd(state);
  // A source smaller than one large read gets a buffer of its own size.
  const uint64_t blocksNeeded = (end + kSearchBlockSectors - 1) / kSearchBlockSectors;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(blocksNeeded, kSearchBlocksPerRead)) * kBlockBytes);
  std::vector<uint32_t> hits;
  if (state.deviceHandle) state.deviceHandle->AdviseSequential();

  for (uint64_t readStart = 0; readStart < end; readStart += kSearchBlocksPerRead * kSearchBlockSectors) {
    const uint64_t blocksLeft = (end - readStart + kSearchBlockSectors - 1) / kSearchBlockSectors;
    const auto blockCount = static_cast<size_t>(std::min(blocksLeft, kSearchBlocksPerRead));
    ReadBlocks(state, readStart, blockCount, buffer);
    if (state.sectorsReadObserver) {
      state.sectorsReadObserver(readStart, std::span<const uint8_t>(buffer.data(), blockCount * kBlockBytes));
    }
    for (size_t block = 0; block < blockCount; ++block) {
      const uint64_t blockStart = readStart + block * kSearchBlockSectors;
      if (!state.KeepRunning()) return 0;
      state.ReportProgress(blockStart, totalSectors);
      const uint64_t sectorsHere = std::min(kSearchBlockSectors, end - blockStart);
      for (uint64_t i = 0; i < sectorsHere; ++i) {
        const uint64_t sector = blockStart + i;
        matcher.Match(buffer.data() + (block * kSearchBlockSectors + i) * kSectorSize, hits);
        bool zipDone = false;
        for (const uint32_t index : hits) {
          const SignatureRecord& record = list[index];
          if (zipHit[index]) {
            // Zip-based types share one signature: the entries name the type, once per sector.
            if (zipDone) continue;
            zipDone = true;
            const ZipDocument document = IdentifyZipDocument(state, sector, MaxFoundFileSize(state, sector, record));
            if (document.record == nullptr || covered.Covers(document.record->ExtensionText(), sector)) continue;
            ScanNode* file = AddFoundFileNode(state, rawData, sector, *document.record);
            if (file == nullptr) continue;
            waiting.FoundAt(state, sector);
            if (state.cutAtFormatEnd && document.end != 0) {
              file->size = std::min(file->size, document.end);
              covered.FileEnds(document.record->ExtensionText(), sector, file->size);
            }
            continue;
          }
          if (!compoundHit[index]) {
            FileHit(state, rawData, sector, record, waiting, covered);
            continue;
          }
          // The family shares one signature: the document's directory names the type, and the
          // sector yields one file at most.
          if (const SignatureRecord* type = IdentifyCompoundDocument(state, sector)) {
            FileHit(state, rawData, sector, *type, waiting, covered);
            break;
          }
        }
      }
    }
  }
  waiting.SearchEnded(state);
  return 1;
}

}  // namespace

int SearchSignatures(EngineState& state) {
  try {
    return Search(state);
  } catch (const std::bad_alloc&) {
    state.ReportDiagnostic("signature search: out of memory; the search was ended");
    return 0;
  }
}

}  // namespace restora
