// SPDX-License-Identifier: GPL-3.0-or-later
// The byte-level FAT16 / FAT32 volume builder of the tests.
#include "FatImageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace restora::test {

namespace {

constexpr uint32_t kRootAreaSectors = 32;  // FAT16: 512 entries
constexpr uint32_t kRootAreaEntries = 512;
constexpr uint8_t kDeleted = 0xE5;

void Put16(std::vector<uint8_t>& image, uint64_t offset, uint16_t value) {
  image.at(offset) = static_cast<uint8_t>(value);
  image.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& image, uint64_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

void PutText(std::vector<uint8_t>& image, uint64_t offset, std::string_view text) {
  std::copy(text.begin(), text.end(), image.begin() + static_cast<ptrdiff_t>(offset));
}

uint8_t LongNameChecksum(const std::array<uint8_t, 11>& shortName) {
  uint8_t sum = 0;
  for (const uint8_t byte : shortName) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + byte);
  return sum;
}

// Where the 13 UTF-16 characters of a long-name entry lie.
constexpr std::array<size_t, 13> kLongNameOffsets = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

}  // namespace

FatImageBuilder::FatImageBuilder(const FatLayout& layout) : layout_(layout) {
  if (layout_.sectorsPerCluster == 0) throw std::invalid_argument("sectors per cluster must not be 0");
  if (layout_.reservedSectors == 0) layout_.reservedSectors = IsFat16() ? 1 : 32;
  const uint32_t rootSectors = IsFat16() ? kRootAreaSectors : 0;
  const uint32_t bytesPerEntry = IsFat16() ? 2 : 4;
  auto clustersFor = [&](uint32_t sectorsPerFat) -> uint32_t {
    const uint64_t dataStart = uint64_t{layout_.reservedSectors} + 2 * uint64_t{sectorsPerFat} + rootSectors;
    if (dataStart >= layout_.totalSectors) return 0;
    return static_cast<uint32_t>((layout_.totalSectors - dataStart) / layout_.sectorsPerCluster);
  };
  if (layout_.sectorsPerFat == 0) {
    uint32_t sectorsPerFat = 1;
    while (uint64_t{clustersFor(sectorsPerFat) + 2} * bytesPerEntry > uint64_t{sectorsPerFat} * 512) ++sectorsPerFat;
    layout_.sectorsPerFat = sectorsPerFat;
  }
  dataClusters_ = clustersFor(layout_.sectorsPerFat);
  // A FAT given smaller than the data area limits the clusters to those it can describe.
  dataClusters_ = static_cast<uint32_t>(std::min<uint64_t>(dataClusters_, FatEntryCount() - 2));
  image_.assign(uint64_t{layout_.totalSectors} * 512, 0);
  WriteBootSector();
  SetFat(0, IsFat16() ? 0xFFF8 : 0x0FFFFFF8);
  SetFat(1, EndOfChain());
  if (IsFat16()) {
    folders_[1] = Folder{};
  } else {
    SetFat(2, EndOfChain());
    folders_[2] = Folder{{2}, 0, false};
    nextFree_ = 3;
  }
}

FatImageBuilder FatImageBuilder::Fat16(uint32_t totalSectors, uint8_t sectorsPerCluster) {
  return FatImageBuilder(FatLayout{FatWidth::Fat16, totalSectors, sectorsPerCluster, 0, 0});
}

FatImageBuilder FatImageBuilder::Fat32(uint32_t totalSectors, uint8_t sectorsPerCluster) {
  return FatImageBuilder(FatLayout{FatWidth::Fat32, totalSectors, sectorsPerCluster, 0, 0});
}

void FatImageBuilder::WriteBootSector() {
  const bool fat16 = IsFat16();
  image_[0] = 0xEB;
  image_[1] = fat16 ? 0x3C : 0x58;
  image_[2] = 0x90;
  PutText(image_, 3, "RESTORA ");
  Put16(image_, 0x0B, 512);
  image_[0x0D] = layout_.sectorsPerCluster;
  Put16(image_, 0x0E, layout_.reservedSectors);
  image_[0x10] = 2;
  Put16(image_, 0x11, fat16 ? kRootAreaEntries : 0);
  const bool small = fat16 && layout_.totalSectors < 65536;
  Put16(image_, 0x13, small ? static_cast<uint16_t>(layout_.totalSectors) : 0);
  image_[0x15] = 0xF8;
  Put16(image_, 0x16, fat16 ? static_cast<uint16_t>(layout_.sectorsPerFat) : 0);
  Put16(image_, 0x18, 32);
  Put16(image_, 0x1A, 64);
  Put32(image_, 0x20, small ? 0 : layout_.totalSectors);
  const uint64_t extended = fat16 ? 0x24 : 0x40;  // drive number, then signature, serial, label
  if (!fat16) {
    Put32(image_, 0x24, layout_.sectorsPerFat);
    Put32(image_, 0x2C, 2);  // root cluster
    Put16(image_, 0x30, 1);  // FSInfo sector
    Put16(image_, 0x32, 6);  // backup boot sector
  }
  image_[extended] = 0x80;
  image_[extended + 2] = 0x29;
  Put32(image_, extended + 3, 0x1234ABCD);
  PutText(image_, extended + 7, "NO NAME    ");
  PutText(image_, extended + 18, fat16 ? "FAT16   " : "FAT32   ");
  image_[510] = 0x55;
  image_[511] = 0xAA;
}

uint64_t FatImageBuilder::ClusterOffset(uint32_t cluster) const {
  if (cluster < 2) throw std::invalid_argument("clusters start at 2");
  const uint64_t dataStart = uint64_t{layout_.reservedSectors} + 2 * uint64_t{layout_.sectorsPerFat} +
                             (IsFat16() ? kRootAreaSectors : 0);
  return (dataStart + uint64_t{cluster - 2} * layout_.sectorsPerCluster) * 512;
}

uint64_t FatImageBuilder::FatEntryCount() const { return uint64_t{layout_.sectorsPerFat} * (IsFat16() ? 256 : 128); }

void FatImageBuilder::SetFat(uint32_t cluster, uint32_t value) {
  if (cluster >= FatEntryCount()) throw std::out_of_range("cluster has no FAT entry");
  for (uint64_t copy = 0; copy < 2; ++copy) {
    const uint64_t base = Fat1Offset() + copy * uint64_t{layout_.sectorsPerFat} * 512;
    if (IsFat16()) {
      Put16(image_, base + uint64_t{cluster} * 2, static_cast<uint16_t>(value));
    } else {
      Put32(image_, base + uint64_t{cluster} * 4, value);
    }
  }
}

uint32_t FatImageBuilder::Fat(uint32_t cluster) const {
  const uint64_t offset = Fat1Offset() + uint64_t{cluster} * (IsFat16() ? 2 : 4);
  uint32_t value = image_.at(offset) | (uint32_t{image_.at(offset + 1)} << 8);
  if (!IsFat16()) value |= (uint32_t{image_.at(offset + 2)} << 16) | (uint32_t{image_.at(offset + 3)} << 24);
  return value;
}

std::vector<uint32_t> FatImageBuilder::Allocate(uint32_t count) {
  if (uint64_t{nextFree_} + count > uint64_t{HighestCluster()} + 1) throw std::length_error("volume is full");
  std::vector<uint32_t> clusters;
  for (uint32_t i = 0; i < count; ++i) clusters.push_back(nextFree_++);
  Chain(clusters);
  return clusters;
}

void FatImageBuilder::Chain(const std::vector<uint32_t>& clusters) {
  for (size_t i = 0; i < clusters.size(); ++i) {
    SetFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : EndOfChain());
  }
}

void FatImageBuilder::FreeChain(uint32_t firstCluster) {
  uint32_t cluster = firstCluster;
  for (uint64_t step = 0; step < FatEntryCount() && cluster >= 2 && cluster < FatEntryCount(); ++step) {
    const uint32_t next = Fat(cluster);
    SetFat(cluster, 0);
    cluster = next;
  }
}

FatImageBuilder::Folder& FatImageBuilder::FolderOf(uint32_t folder) {
  auto found = folders_.find(folder);
  if (found == folders_.end()) throw std::invalid_argument("no such folder: " + std::to_string(folder));
  return found->second;
}

uint64_t FatImageBuilder::SlotOffset(uint32_t folder, uint32_t index) {
  Folder& target = FolderOf(folder);
  if (IsFat16() && folder == 1) {
    if (index >= kRootAreaEntries) throw std::length_error("the FAT16 root area holds 512 entries");
    const uint64_t rootStart = uint64_t{layout_.reservedSectors} + 2 * uint64_t{layout_.sectorsPerFat};
    return rootStart * 512 + uint64_t{index} * 32;
  }
  while (index / EntriesPerCluster() >= target.clusters.size()) {
    // A full folder grows by a fresh, zeroed cluster; a deleted folder's FAT stays empty.
    const uint32_t added = nextFree_;
    if (added > HighestCluster()) throw std::length_error("volume is full");
    ++nextFree_;
    if (!target.deleted) {
      SetFat(target.clusters.back(), added);
      SetFat(added, EndOfChain());
    }
    target.clusters.push_back(added);
  }
  return ClusterOffset(target.clusters[index / EntriesPerCluster()]) + uint64_t{index % EntriesPerCluster()} * 32;
}

void FatImageBuilder::AddRawEntry(uint32_t folder, std::span<const uint8_t> bytes) {
  const uint32_t index = FolderOf(folder).nextSlot;
  const uint64_t offset = SlotOffset(folder, index);
  std::fill_n(image_.begin() + static_cast<ptrdiff_t>(offset), 32, 0);
  std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), 32), image_.begin() + static_cast<ptrdiff_t>(offset));
  FolderOf(folder).nextSlot = index + 1;
}

void FatImageBuilder::AddEntry(uint32_t folder, const FatEntry& entry) {
  std::string shortName = entry.shortName;
  if (shortName.empty()) {
    char made[16];
    std::snprintf(made, sizeof made, "N%07u", ++nameCounter_);
    shortName = made;
  }
  const std::array<uint8_t, 11> name = ShortNameBytes(shortName);
  const uint8_t checksum = LongNameChecksum(name);
  const std::u16string& longName = entry.longName;
  const size_t parts = (longName.size() + 12) / 13;
  for (size_t part = parts; part >= 1; --part) {
    std::array<uint8_t, 32> bytes{};
    bytes[0] = entry.deleted ? kDeleted : static_cast<uint8_t>(part | (part == parts ? 0x40 : 0));
    bytes[0x0B] = 0x0F;
    bytes[0x0D] = checksum;
    for (size_t i = 0; i < 13; ++i) {
      const size_t at = (part - 1) * 13 + i;
      // After the name's end: one 0 terminator, then 0xFFFF padding.
      const char16_t unit = at < longName.size() ? longName[at] : (at == longName.size() ? 0 : 0xFFFF);
      bytes[kLongNameOffsets[i]] = static_cast<uint8_t>(unit);
      bytes[kLongNameOffsets[i] + 1] = static_cast<uint8_t>(unit >> 8);
    }
    AddRawEntry(folder, bytes);
  }
  std::array<uint8_t, 32> bytes{};
  std::copy(name.begin(), name.end(), bytes.begin());
  if (entry.deleted) bytes[0] = kDeleted;
  bytes[0x0B] = entry.attributes;
  bytes[0x10] = static_cast<uint8_t>(entry.createdDate);
  bytes[0x11] = static_cast<uint8_t>(entry.createdDate >> 8);
  bytes[0x14] = static_cast<uint8_t>(entry.firstCluster >> 16);
  bytes[0x15] = static_cast<uint8_t>(entry.firstCluster >> 24);
  bytes[0x18] = static_cast<uint8_t>(entry.modifiedDate);
  bytes[0x19] = static_cast<uint8_t>(entry.modifiedDate >> 8);
  bytes[0x1A] = static_cast<uint8_t>(entry.firstCluster);
  bytes[0x1B] = static_cast<uint8_t>(entry.firstCluster >> 8);
  for (int i = 0; i < 4; ++i) bytes[0x1C + i] = static_cast<uint8_t>(entry.size >> (8 * i));
  AddRawEntry(folder, bytes);
}

void FatImageBuilder::FillTo(uint32_t folder, uint32_t index) {
  while (FolderOf(folder).nextSlot < index) {
    FatEntry filler;
    filler.shortName = "FILLER";
    filler.deleted = true;
    AddEntry(folder, filler);
  }
}

uint32_t FatImageBuilder::AddFolder(uint32_t parent, FatEntry entry) {
  FolderOf(parent);  // the parent must exist before anything is allocated
  if (entry.firstCluster == 0) entry.firstCluster = Allocate(1).front();
  entry.attributes |= kFatAttrFolder;
  const uint32_t cluster = entry.firstCluster;
  if (entry.deleted) FreeChain(cluster);
  folders_[cluster] = Folder{{cluster}, 0, entry.deleted};
  std::fill_n(image_.begin() + static_cast<ptrdiff_t>(ClusterOffset(cluster)), ClusterBytes(), 0);
  FatEntry dot;
  dot.shortName = ".";
  dot.attributes = kFatAttrFolder;
  dot.firstCluster = cluster;
  AddEntry(cluster, dot);
  FatEntry dotDot = dot;
  dotDot.shortName = "..";
  dotDot.firstCluster = parent == RootFolder() ? 0 : parent;  // ".." of a root child holds 0
  AddEntry(cluster, dotDot);
  AddEntry(parent, entry);
  return cluster;
}

uint32_t FatImageBuilder::AddFile(uint32_t folder, FatEntry entry, std::span<const uint8_t> content) {
  std::vector<uint32_t> clusters;
  if (!content.empty()) {
    clusters = Allocate(static_cast<uint32_t>((content.size() + ClusterBytes() - 1) / ClusterBytes()));
  }
  return AddFile(folder, std::move(entry), content, clusters);
}

uint32_t FatImageBuilder::AddFile(uint32_t folder, FatEntry entry, std::span<const uint8_t> content,
                                  const std::vector<uint32_t>& clusters) {
  if (uint64_t{clusters.size()} * ClusterBytes() < content.size()) {
    throw std::length_error("content needs more clusters");
  }
  for (size_t i = 0; i < clusters.size(); ++i) {
    const size_t from = i * ClusterBytes();
    const size_t count = std::min<size_t>(ClusterBytes(), content.size() - std::min(content.size(), from));
    WriteBytes(ClusterOffset(clusters[i]), content.subspan(std::min(content.size(), from), count));
  }
  if (!clusters.empty()) {
    Chain(clusters);
    if (entry.firstCluster == 0) entry.firstCluster = clusters.front();
  }
  if (entry.size == 0) entry.size = static_cast<uint32_t>(content.size());
  if (entry.deleted && !clusters.empty()) FreeChain(clusters.front());
  AddEntry(folder, entry);
  return entry.firstCluster;
}

void FatImageBuilder::WriteBytes(uint64_t offset, std::span<const uint8_t> bytes) {
  if (offset > image_.size() || bytes.size() > image_.size() - offset) throw std::out_of_range("write past the volume");
  std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<ptrdiff_t>(offset));
}

std::array<uint8_t, 11> FatImageBuilder::ShortNameBytes(std::string_view name) {
  std::array<uint8_t, 11> bytes;
  bytes.fill(' ');
  if (name == "." || name == "..") {
    std::copy(name.begin(), name.end(), bytes.begin());
    return bytes;
  }
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 11), bytes.begin());
    return bytes;
  }
  const std::string_view base = name.substr(0, dot);
  const std::string_view extension = name.substr(dot + 1);
  std::copy_n(base.begin(), std::min<size_t>(base.size(), 8), bytes.begin());
  std::copy_n(extension.begin(), std::min<size_t>(extension.size(), 3), bytes.begin() + 8);
  return bytes;
}


std::vector<uint8_t> FatImageBuilder::Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

}  // namespace restora::test
