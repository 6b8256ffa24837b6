// SPDX-License-Identifier: GPL-3.0-or-later
// The table scan: large sequential reads of the table, each record checked on its own, and the
// folder chain of every deleted file rebuilt from the table.
#include "NtfsScan.h"

#include <algorithm>
#include <new>
#include <string>

#include "NtfsRecord.h"
#include "ScanTree.h"
#include "TextCodec.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint64_t kLeadsNowhere = ~uint64_t{0};
constexpr uint16_t kPlaceholderAttributes = 0x30;
constexpr uint8_t kFolderFlag = 0x02;


std::u16string PlaceholderName(uint32_t number) { return Utf8ToUtf16("#" + std::to_string(number)); }

}  // namespace

MftScanner::MftScanner(EngineState& state, const NtfsScanTuning& tuning)
    : state_(state),
      tuning_(tuning),
      stats_(tuning.stats != nullptr ? *tuning.stats : ownStats_),
      table_(state),
      bitmap_(state, table_),
      index_(state.scanRoot),
      folderRecord_(table_.RecordBytes(), 0) {}

int MftScanner::Run() {
  if (state_.scanRoot == nullptr) return 0;
  const VolumeInfo& info = state_.volumeInfo;
  const size_t recordBytes = table_.RecordBytes();
  // The progress total counts whole records per cluster; it is 0 when a record is larger than a
  // cluster, although every record is still read.
  uint64_t clusters = 0;
  for (const NtfsRun& run : state_.mftRuns) clusters += run.length;
  const uint64_t recordsPerCluster = info.sectorsPerRecord == 0 ? 0 : info.ntfsSectorsPerCluster / info.sectorsPerRecord;
  const uint64_t total = recordsPerCluster * clusters;
  const uint64_t count = table_.RecordCount();
  if (recordBytes == 0 || count == 0) return state_.KeepRunning() ? 1 : 0;

  const uint64_t chunkRecords = std::max<uint64_t>(1, std::min<uint64_t>(tuning_.chunkBytes / recordBytes, count));
  std::vector<uint8_t> chunk(static_cast<size_t>(chunkRecords) * recordBytes);
  std::vector<uint8_t> readable(static_cast<size_t>(chunkRecords));
  const uint64_t sourceBytes = state_.deviceHandle ? state_.deviceHandle->SizeBytes() : 0;
  if (state_.deviceHandle) state_.deviceHandle->AdviseSequential();

  uint64_t number = 0;
  while (number < count) {
    // Records wholly past the source's end would read as zeros and be skipped one by one; a
    // damaged run list can claim far more of them than the source holds.
    if (sourceBytes != 0) {
      const uint64_t next = table_.NextRecordWithin(number, sourceBytes);
      if (next > number) {
        if (!state_.KeepRunning()) return 0;
        number = next;
        continue;
      }
    }
    const uint64_t batch = std::min(chunkRecords, count - number);
    const std::span<uint8_t> bytes(chunk.data(), static_cast<size_t>(batch) * recordBytes);
    if (table_.ReadRecords(number, batch, bytes)) {
      std::fill(readable.begin(), readable.end(), 1);
    } else {
      // One bad sector must cost only its own record: read the batch again record by record.
      for (uint64_t i = 0; i < batch; ++i) {
        readable[i] = table_.ReadRecords(number + i, 1, bytes.subspan(i * recordBytes, recordBytes)) ? 1 : 0;
      }
    }
    for (uint64_t i = 0; i < batch; ++i, ++number) {
      if (!state_.KeepRunning()) return 0;
      state_.ReportProgress(number, total);
      ++stats_.recordsRead;
      if (readable[i]) ScanRecord(number, bytes.subspan(i * recordBytes, recordBytes));
    }
  }
  return 1;
}

void MftScanner::ScanRecord(uint64_t number, std::span<uint8_t> record) {
  const uint32_t first = VerifyRecord(state_, record);
  if (first > MaxFirstAttributeOffset(state_.volumeInfo)) return;
  if (record[0x16] != 0) return;  // in use, or a folder: only deleted files are listed
  ScanNode* node = NewNode(state_);
  if (!table_.RecordSector(number, node->location)) node->location = 0;
  node->id = static_cast<uint32_t>(number);
  ParseAttributes(record, first, *node);
  if (node->size == 0 || node->name.empty()) ReadExtensions(record, first, *node);
  // A file without data has nothing to recover; one without a name could not be shown or saved.
  if (node->size == 0 || node->name.empty()) {
    state_.pool.FreeNode(node);
    return;
  }
  node->overwritten = bitmap_.OverwrittenPercent(GatherDataAttribute(state_, table_, record, first));
  ++stats_.deletedFiles;
  AttachToParent(node);
}

void MftScanner::ReadExtensions(Bytes record, uint32_t first, ScanNode& node) {
  const uint8_t status = node.status;  // the base record's flags; extension records share them
  for (const ExtensionRecord& ext : ListedExtensions(state_, record, first)) {
    const uint32_t extensionFirst = ReadExtensionRecord(state_, table_, record, ext, extensionRecord_);
    if (extensionFirst == kVerifyRefused) continue;
    ParseAttributes(extensionRecord_, extensionFirst, node);
  }
  node.status = status;
}

int MftScanner::AttachToParent(ScanNode* node) {
  ++climb_;
  ScanNode* top = node;
  while (true) {
    const uint32_t parent = top->parentId;
    if (parent == kRootFolderRecord) {
      PushChildFront(state_.scanRoot, top);
      index_.Attach(NtfsFolderIndex::kRootSlot, top);
      return 1;
    }
    ++stats_.folderLookups;
    const auto hit = index_.Find(parent);
    if (tuning_.crossCheckSearch) {
      ScanNode probe;
      probe.parentId = parent;
      if (FindNodeById(state_.scanRoot, &probe) != (hit ? hit->node : nullptr)) ++stats_.searchDisagreements;
    }
    if (hit && hit->node->IsFolderStatus()) {
      PushChildFront(hit->node, top);
      index_.Attach(hit->slot, top);
      return 1;
    }
    // Below the root folder's record lie only system files: such a chain leads nowhere. The same
    // holds for every folder record met on a chain that was dropped before.
    auto mark = climbMarks_.find(parent);
    if (parent < kRootFolderRecord || (mark != climbMarks_.end() && mark->second == kLeadsNowhere)) {
      DropChain(top);
      return 0;
    }
    const bool seen = mark != climbMarks_.end() && mark->second == climb_;
    ScanNode* folder = MakeFolder(parent, *top, seen);
    climbMarks_[parent] = climb_;
    PushChildFront(folder, top);
    top = folder;
  }
}

ScanNode* MftScanner::MakeFolder(uint32_t number, const ScanNode& child, bool seenOnThisClimb) {
  ScanNode* folder = NewNode(state_);
  folder->id = number;
  // A record met twice on one climb closes a loop of parent references; it becomes a
  // placeholder, which ends the climb under the root.
  const std::span<uint8_t> record(folderRecord_);
  std::fill(record.begin(), record.end(), 0);
  if (!seenOnThisClimb && number < table_.RecordCount() && table_.ReadRecords(number, 1, record)) {
    const uint32_t first = VerifyRecord(state_, record);
    if (first <= MaxFirstAttributeOffset(state_.volumeInfo) && (record[0x16] & kFolderFlag) != 0 &&
        table_.RecordSector(number, folder->location)) {
      ParseAttributes(record, first, *folder);
      if (!folder->name.empty()) return folder;
      // A folder without a name cannot stand in a path: it is treated like an unreadable one.
      *folder = ScanNode{};
      folder->id = number;
    }
  }
  folder->location = 0;
  folder->parentId = kRootFolderRecord;
  folder->status = kStatusFolder;
  folder->attributes = kPlaceholderAttributes;
  folder->created = child.created;
  folder->modified = child.modified;
  folder->name = PlaceholderName(number);
  folder->nameLength = static_cast<uint16_t>(folder->name.size());
  return folder;
}

void MftScanner::DropChain(ScanNode* top) {
  ++stats_.droppedChains;
  // Every folder above the file on this chain leads below the root folder's record as well.
  for (ScanNode* node = top; node != nullptr;) {
    ScanNode* below = node->firstChild;
    if (below != nullptr) climbMarks_[node->id] = kLeadsNowhere;
    state_.pool.FreeNode(node);
    node = below;
  }
}

int ScanMft(EngineState& state) { return ScanMft(state, NtfsScanTuning{}); }

int ScanMft(EngineState& state, const NtfsScanTuning& tuning) {
  try {
    MftScanner scanner(state, tuning);
    return scanner.Run();
  } catch (const std::bad_alloc&) {
    // The tree keeps what was attached; the job ends as if stopped.
    state.ReportDiagnostic("NTFS scan: out of memory");
    return 0;
  }
}

}  // namespace restora
