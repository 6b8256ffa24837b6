// SPDX-License-Identifier: GPL-3.0-or-later
// Finding orphaned FAT folder clusters and listing their deleted files.
#include "FatOrphans.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

#include "FatChain.h"
#include "FatData.h"
#include "FatDirEntry.h"
#include "ScanTree.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr size_t kDataAreaReadBytes = 4 << 20;
constexpr uint16_t kPlaceholderAttributes = 0x30;

uint32_t EntryCluster(Bytes entry) { return (uint32_t{LoadU16(entry, 0x14)} << 16) | LoadU16(entry, 0x1A); }

bool IsDotEntry(Bytes entry, const char* name11) {
  return std::memcmp(entry.data(), name11, 11) == 0 && (LoadU8(entry, 0x0B) & kAttrFolder) != 0;
}

// A deleted file entry with data that the parse would list.
bool IsListableDeletedFile(Bytes entry, const VolumeInfo& info) {
  const uint32_t cluster = EntryCluster(entry);
  return LoadU8(entry, 0) == kDeletedMark && (LoadU8(entry, 0x0B) & (kAttrFolder | kAttrVolumeLabel)) == 0 &&
         LoadU8(entry, 0x0B) != kAttrLongName && IsValidShortEntry(entry) && LoadU32(entry, 0x1C) != 0 &&
         cluster > info.fatKind && cluster <= info.fatEntryCount;
}

// Adds children at the end of folders' child lists, after what the walk and the search listed;
// remembers where each list ends.
class Appender {
 public:
  void Append(ScanNode* folder, ScanNode* child) {
    ScanNode**& end = ends_[folder];
    if (end == nullptr) end = &folder->firstChild;
    while (*end != nullptr) end = &(*end)->next;
    child->next = nullptr;
    *end = child;
    end = &child->next;
  }

 private:
  std::unordered_map<ScanNode*, ScanNode**> ends_;
};

std::u16string PlaceholderName(uint32_t number) {
  const std::string text = "#" + std::to_string(number);
  return std::u16string(text.begin(), text.end());
}

}  // namespace

FatOrphanSearch::FatOrphanSearch(EngineState& state, WalkedFolderClusters walked)
    : state_(state), walked_(std::move(walked)) {}

bool FatOrphanSearch::IsOrphanedFolderCluster(uint32_t cluster, Bytes bytes, Candidate& candidate) const {
  const VolumeInfo& info = state_.volumeInfo;
  candidate.cluster = cluster;
  size_t position = 0;
  if (IsDotEntry(bytes.first(kDirEntrySize), ".          ") &&
      IsDotEntry(bytes.subspan(kDirEntrySize, kDirEntrySize), "..         ")) {
    // A folder's first cluster names itself in "."; one that names another is a stale copy.
    if (EntryCluster(bytes) != cluster) return false;
    candidate.self = cluster;
    candidate.parent = EntryCluster(bytes.subspan(kDirEntrySize, kDirEntrySize));
    position = 2 * kDirEntrySize;
  }
  // Without the dots, every entry up to the folder's end must look like one, and there must be
  // a few: a cluster of file data rarely passes.
  size_t entries = 0;
  bool listable = false;
  for (; position + kDirEntrySize <= bytes.size(); position += kDirEntrySize) {
    const Bytes entry = bytes.subspan(position, kDirEntrySize);
    if (LoadU8(entry, 0) == 0) break;
    ++entries;
    const uint8_t attributes = LoadU8(entry, 0x0B);
    if (attributes == kAttrLongName) {
      if (candidate.self == 0 && (LoadU8(entry, 0x0C) != 0 || LoadU16(entry, 0x1A) != 0)) return false;
      continue;
    }
    if (IsListableDeletedFile(entry, info)) listable = true;
    if (candidate.self == 0 && (!IsValidShortEntry(entry) || !HasShortNameBytes(entry) ||
                                EntryCluster(entry) > info.fatEntryCount)) {
      return false;
    }
  }
  return listable && (candidate.self != 0 || entries >= 3);
}

void FatOrphanSearch::ExamineWhole(uint64_t firstSector, Bytes bytes) {
  const VolumeInfo& info = state_.volumeInfo;
  const uint64_t perCluster = info.fatSectorsPerCluster;
  if (perCluster == 0) return;
  const uint64_t base = FatClusterSector(info, 2);
  const uint64_t end = firstSector + bytes.size() / kSectorSize;
  const uint64_t clusterBytes = perCluster * kSectorSize;
  uint64_t index = firstSector > base ? (firstSector - base + perCluster - 1) / perCluster : 0;
  for (; base + (index + 1) * perCluster <= end; ++index) {
    const uint64_t cluster = index + 2;
    if (cluster >= info.fatEntryCount) return;
    const Bytes data = bytes.subspan(static_cast<size_t>((base + index * perCluster - firstSector) * kSectorSize),
                                     static_cast<size_t>(clusterBytes));
    if (data[0] == 0 || walked_.contains(static_cast<uint32_t>(cluster))) continue;
    Candidate candidate;
    if (IsOrphanedFolderCluster(static_cast<uint32_t>(cluster), data, candidate)) {
      if (keptBytes_ + data.size() > kMaxKeptBytes) {
        if (!full_) state_.ReportDiagnostic("FAT orphan search: too many folder clusters; the rest are left out");
        full_ = true;
        return;
      }
      keptBytes_ += data.size();
      candidate.bytes.assign(data.begin(), data.end());
      candidates_.push_back(std::move(candidate));
    }
  }
}

void FatOrphanSearch::Examine(uint64_t firstSector, Bytes bytes) {
  const VolumeInfo& info = state_.volumeInfo;
  const uint64_t perCluster = info.fatSectorsPerCluster;
  if (perCluster == 0) return;
  const uint64_t clusterBytes = perCluster * kSectorSize;
  // A cluster the last piece cut off is completed from the head of this one.
  if (!carry_.empty() && firstSector == carrySector_ + carry_.size() / kSectorSize &&
      bytes.size() >= clusterBytes - carry_.size()) {
    const auto missing = static_cast<std::ptrdiff_t>(clusterBytes - carry_.size());
    carry_.insert(carry_.end(), bytes.begin(), bytes.begin() + missing);
    ExamineWhole(carrySector_, carry_);
  }
  carry_.clear();
  ExamineWhole(firstSector, bytes);
  const uint64_t base = FatClusterSector(info, 2);
  const uint64_t end = firstSector + bytes.size() / kSectorSize;
  if (end <= base) return;
  const uint64_t lastStart = base + (end - base) / perCluster * perCluster;
  if (lastStart < end && lastStart >= firstSector) {
    carrySector_ = lastStart;
    carry_.assign(bytes.begin() + static_cast<std::ptrdiff_t>((lastStart - firstSector) * kSectorSize), bytes.end());
  }
}

uint64_t FatOrphanSearch::Attach(ScanNode* root) {
  if (root == nullptr || candidates_.empty()) return 0;
  // The folders of the tree by first cluster; ".." holds 0 for the root.
  std::unordered_map<uint32_t, ScanNode*> folders{{0, root}, {root->firstCluster, root}};
  std::vector<ScanNode*> pending{root};
  while (!pending.empty()) {
    ScanNode* folder = pending.back();
    pending.pop_back();
    for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
      if (child->firstChild == nullptr && (child->attributes & kAttrFolder) == 0) continue;
      folders.try_emplace(child->firstCluster, child);
      pending.push_back(child);
    }
  }

  // The folder each cluster belongs to: its own "." or, without one, the folder of the cluster
  // just before it, since folders grow into the next free cluster.
  std::sort(candidates_.begin(), candidates_.end(),
            [](const Candidate& a, const Candidate& b) { return a.cluster < b.cluster; });
  std::unordered_map<uint32_t, uint32_t> folderOf;  // candidate cluster -> folder's first cluster
  std::unordered_map<uint32_t, uint32_t> parentOf;  // orphaned folder -> ".." cluster
  for (const Candidate& c : candidates_) {
    uint32_t folder = c.cluster;
    if (c.self != 0) {
      parentOf[c.self] = c.parent;
    } else if (auto walked = walked_.find(c.cluster - 1); walked != walked_.end()) {
      folder = walked->second;
    } else if (auto before = folderOf.find(c.cluster - 1); before != folderOf.end()) {
      folder = before->second;
    }
    folderOf[c.cluster] = folder;
  }

  std::vector<ScanNode*> made;  // folders made here, in the order made
  std::unordered_map<ScanNode*, ScanNode*> madeParent;
  auto makeFolder = [&](uint32_t cluster) {
    ScanNode* node = NewNode(state_);
    node->name = PlaceholderName(cluster);
    node->nameLength = static_cast<uint16_t>(node->name.size());
    node->status = kStatusFolder;
    node->attributes = kPlaceholderAttributes;
    node->firstCluster = cluster;
    folders[cluster] = node;
    made.push_back(node);
    return node;
  };

  uint64_t listed = 0;
  FatTable table(state_);
  Appender appender;
  for (const Candidate& c : candidates_) {
    const uint32_t folderCluster = folderOf[c.cluster];
    auto known = folders.find(folderCluster);
    ScanNode* folder = known != folders.end() ? known->second : makeFolder(folderCluster);
    FolderParse parse(folder, false);
    state_.pendingFirst = state_.pendingLast = nullptr;
    (void)ParseFolderBuffer(state_, c.bytes, parse);
    for (ScanNode* node = state_.pendingFirst; node != nullptr;) {
      ScanNode* next = node->next;
      node->next = nullptr;
      if (node->status == 0 && (node->attributes & kAttrFolder) == 0) {
        node->overwritten = FatOverwrittenPercent(state_, table, *node);
        appender.Append(folder, node);
        ++listed;
      } else {
        state_.pool.FreeNode(node);
      }
      node = next;
    }
    state_.pendingFirst = state_.pendingLast = nullptr;
  }

  // Each folder made here goes into its parent: the folder ".." names, a placeholder for it
  // below the root, or the root itself when the chain of parents would loop.
  for (size_t i = 0; i < made.size(); ++i) {
    ScanNode* node = made[i];
    ScanNode* parent = root;
    if (auto p = parentOf.find(node->firstCluster); p != parentOf.end()) {
      auto known = folders.find(p->second);
      parent = known != folders.end() ? known->second : makeFolder(p->second);
      for (ScanNode* up = parent; up != nullptr && up != root;
           up = madeParent.count(up) != 0 ? madeParent[up] : nullptr) {
        if (up == node) {
          parent = root;
          break;
        }
      }
    }
    madeParent[node] = parent;
    appender.Append(parent, node);
  }

  // Folders made here that hold no file, directly or below, are taken out again.
  for (bool removed = true; removed;) {
    removed = false;
    for (ScanNode*& node : made) {
      if (node == nullptr || node->firstChild != nullptr) continue;
      ScanNode** link = &madeParent[node]->firstChild;
      while (*link != nullptr && *link != node) link = &(*link)->next;
      if (*link == node) *link = node->next;
      state_.pool.FreeNode(node);
      node = nullptr;
      removed = true;
    }
  }
  return listed;
}

int ReadDataAreaForOrphans(EngineState& state, FatOrphanSearch& search) {
  const VolumeInfo& info = state.volumeInfo;
  const uint64_t perCluster = info.fatSectorsPerCluster;
  if (perCluster == 0) return 1;
  const uint64_t first = FatClusterSector(info, 2);
  const uint64_t end = info.totalSectors;
  // Whole clusters per read, so none is split between two reads.
  const uint64_t pieceSectors = std::max<uint64_t>(1, kDataAreaReadBytes / kSectorSize / perCluster) * perCluster;
  std::vector<uint8_t> buffer;
  for (uint64_t sector = first; sector < end; sector += pieceSectors) {
    if (!state.KeepRunning()) return 0;
    state.ReportProgress(sector - first, end - first);
    const uint64_t count = std::min(pieceSectors, end - sector);
    buffer.assign(static_cast<size_t>(count * kSectorSize), 0);
    if (!ReadSectors(state, sector, buffer)) std::fill(buffer.begin(), buffer.end(), 0);
    search.Examine(sector, buffer);
  }
  return 1;
}

}  // namespace restora
