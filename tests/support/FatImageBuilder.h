// SPDX-License-Identifier: GPL-3.0-or-later
// Builds FAT16 and FAT32 volumes byte by byte in memory, so that tests can make any layout a
// real volume might have, and many it should not: boot sector, both FATs, the FAT16 root area or
// the FAT32 root cluster, folders with "." and "..", short entries, long-name entries with
// correct checksums, deleted marks, file contents and arbitrary FAT values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace restora::test {

enum class FatWidth { Fat16, Fat32 };

struct FatLayout {
  FatWidth width = FatWidth::Fat16;
  uint32_t totalSectors = 8192;
  uint8_t sectorsPerCluster = 1;
};

constexpr uint8_t kFatAttrLabel = 0x08;
constexpr uint8_t kFatAttrFolder = 0x10;

// One directory entry as the builder writes it; the defaults make a live file without data.
struct FatEntry {
  std::string shortName;    // "NAME.EXT" as stored (no case change); empty: "N" and a number
  std::u16string longName;  // when set, written as long-name entries in front of the short one
  uint8_t attributes = 0x20;
  uint32_t firstCluster = 0;  // AddFile and AddFolder fill it when they allocate
  uint32_t size = 0;          // AddFile: 0 means the content's size
  bool deleted = false;       // 0xE5 on the short and every long-name entry
};

class FatImageBuilder {
 public:
  explicit FatImageBuilder(const FatLayout& layout);
  static FatImageBuilder Fat16(uint32_t totalSectors = 8192, uint8_t sectorsPerCluster = 1) {
    return FatImageBuilder({FatWidth::Fat16, totalSectors, sectorsPerCluster});
  }
  static FatImageBuilder Fat32(uint32_t totalSectors = 8192, uint8_t sectorsPerCluster = 1) {
    return FatImageBuilder({FatWidth::Fat32, totalSectors, sectorsPerCluster});
  }

  uint32_t RootFolder() const { return fat16_ ? 1 : 2; }  // 1 stands for the FAT16 root area
  uint64_t ClusterOffset(uint32_t cluster) const;         // byte offset of a data cluster (2 and up)
  uint32_t HighestCluster() const { return dataClusters_ + 1; }

  // The FATs (both are written alike).
  void SetFat(uint32_t cluster, uint32_t value);
  uint32_t Fat(uint32_t cluster) const;

  // folder is RootFolder() or a folder's first cluster. AddFolder allocates one cluster (unless
  // entry.firstCluster is set), writes "." and ".." into it and the entry into parent; a deleted
  // folder's FAT entry is left 0 (it must not grow). Returns its cluster.
  uint32_t AddFolder(uint32_t parent, FatEntry entry);
  // AddFile writes content into clusters, in their order (none given: fresh adjacent ones), and
  // the entry into folder; a deleted file's FAT entries are zeroed after. An empty content gets
  // no cluster. Returns the first cluster (0 for none).
  uint32_t AddFile(uint32_t folder, FatEntry entry, std::span<const uint8_t> content,
                   std::vector<uint32_t> clusters = {});
  // Writes the entry's long-name entries and short entry into the next free slots of folder,
  // growing a cluster folder by a cluster when it is full.
  void AddEntry(uint32_t folder, const FatEntry& entry);
  // Fills slots up to (not including) index with deleted entries of no cluster, which no scan lists.
  void FillTo(uint32_t folder, uint32_t index);

  std::vector<uint8_t> Take() { return std::move(image_); }

  // "NAME.EXT" → the 11 stored bytes (name padded to 8, extension to 3); without a dot up to 11
  // bytes are taken as they are (a volume label); "." and ".." are padded as stored.
  static std::array<uint8_t, 11> ShortNameBytes(std::string_view name);
  // A content of size bytes that differs per seed, for files whose data a test compares.
  static std::vector<uint8_t> Pattern(size_t size, uint32_t seed);

 private:
  struct Folder {
    std::vector<uint32_t> clusters;  // empty for the FAT16 root area
    uint32_t nextSlot = 0;
  };
  uint32_t ClusterBytes() const { return uint32_t{sectorsPerCluster_} * 512; }
  uint32_t EndOfChain() const { return fat16_ ? 0xFFFF : 0x0FFFFFFF; }
  uint32_t Allocate();
  uint64_t SlotOffset(uint32_t folder, uint32_t index);
  void Put(uint64_t offset, uint64_t value, int bytes);

  bool fat16_;
  uint8_t sectorsPerCluster_;
  uint32_t reserved_, sectorsPerFat_ = 1, dataClusters_ = 0, nextFree_ = 2, nameCounter_ = 0;
  std::unordered_map<uint32_t, Folder> folders_;
  std::vector<uint8_t> image_;
};

}  // namespace restora::test
