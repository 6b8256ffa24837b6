// SPDX-License-Identifier: GPL-3.0-or-later
// The byte-level FAT16 / FAT32 volume builder of the tests.
#include "FatImageBuilder.h"

#include <algorithm>
#include <stdexcept>

namespace restora::test {

namespace {

constexpr uint32_t kRootAreaSectors = 32;  // FAT16: 512 entries
// Where the 13 UTF-16 characters of a long-name entry lie.
constexpr std::array<size_t, 13> kLongNameOffsets = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

}  // namespace

FatImageBuilder::FatImageBuilder(const FatLayout& layout)
    : fat16_(layout.width == FatWidth::Fat16), sectorsPerCluster_(layout.sectorsPerCluster),
      reserved_(fat16_ ? 1 : 32) {
  if (sectorsPerCluster_ == 0) throw std::invalid_argument("sectors per cluster must not be 0");
  const uint32_t entriesPerSector = fat16_ ? 256 : 128;
  auto clustersFor = [&](uint64_t fatSectors) -> uint64_t {
    const uint64_t dataStart = reserved_ + 2 * fatSectors + (fat16_ ? kRootAreaSectors : 0);
    return dataStart >= layout.totalSectors ? 0 : (layout.totalSectors - dataStart) / sectorsPerCluster_;
  };
  while (clustersFor(sectorsPerFat_) + 2 > uint64_t{sectorsPerFat_} * entriesPerSector) ++sectorsPerFat_;
  dataClusters_ = static_cast<uint32_t>(clustersFor(sectorsPerFat_));
  image_.assign(uint64_t{layout.totalSectors} * 512, 0);
  // The boot sector: jump, OEM name, BPB, extended BPB (drive, signature, serial, label, type).
  const std::vector<std::pair<uint64_t, uint64_t>> fields = {
      {0x00, 0xEB}, {0x01, fat16_ ? 0x3C : 0x58}, {0x02, 0x90}, {0x0D, sectorsPerCluster_}, {0x10, 2}, {0x15, 0xF8},
      {0x1FE, 0x55}, {0x1FF, 0xAA}};
  for (const auto& [at, value] : fields) image_[at] = static_cast<uint8_t>(value);
  std::copy_n("RESTORA ", 8, image_.begin() + 3);
  const bool small = fat16_ && layout.totalSectors < 65536;
  Put(0x0B, 512, 2), Put(0x0E, reserved_, 2), Put(0x11, fat16_ ? 512 : 0, 2);
  Put(0x13, small ? layout.totalSectors : 0, 2), Put(0x16, fat16_ ? sectorsPerFat_ : 0, 2);
  Put(0x18, 32, 2), Put(0x1A, 64, 2), Put(0x20, small ? 0 : layout.totalSectors, 4);
  if (!fat16_) Put(0x24, sectorsPerFat_, 4), Put(0x2C, 2, 4), Put(0x30, 1, 2), Put(0x32, 6, 2);
  const uint64_t extended = fat16_ ? 0x24 : 0x40;
  image_[extended] = 0x80, image_[extended + 2] = 0x29;
  Put(extended + 3, 0x1234ABCD, 4);
  std::copy_n(fat16_ ? "NO NAME    FAT16   " : "NO NAME    FAT32   ", 19, image_.begin() + extended + 7);
  SetFat(0, fat16_ ? 0xFFF8 : 0x0FFFFFF8);
  SetFat(1, EndOfChain());
  if (fat16_) {
    folders_[1] = Folder{};
  } else {
    folders_[Allocate()] = Folder{{2}, 0};
  }
}

void FatImageBuilder::Put(uint64_t offset, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) image_.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t FatImageBuilder::ClusterOffset(uint32_t cluster) const {
  if (cluster < 2) throw std::invalid_argument("clusters start at 2");
  const uint64_t dataStart = reserved_ + 2 * uint64_t{sectorsPerFat_} + (fat16_ ? kRootAreaSectors : 0);
  return (dataStart + uint64_t{cluster - 2} * sectorsPerCluster_) * 512;
}

void FatImageBuilder::SetFat(uint32_t cluster, uint32_t value) {
  if (cluster >= uint64_t{sectorsPerFat_} * (fat16_ ? 256 : 128)) throw std::out_of_range("cluster has no FAT entry");
  for (uint64_t copy = 0; copy < 2; ++copy) {
    Put((reserved_ + copy * sectorsPerFat_) * 512 + uint64_t{cluster} * (fat16_ ? 2 : 4), value, fat16_ ? 2 : 4);
  }
}

uint32_t FatImageBuilder::Fat(uint32_t cluster) const {
  const uint64_t offset = uint64_t{reserved_} * 512 + uint64_t{cluster} * (fat16_ ? 2 : 4);
  uint32_t value = 0;
  for (int i = fat16_ ? 1 : 3; i >= 0; --i) value = value << 8 | image_.at(offset + i);
  return value;
}

uint32_t FatImageBuilder::Allocate() {
  if (nextFree_ > HighestCluster()) throw std::length_error("volume is full");
  SetFat(nextFree_, EndOfChain());
  return nextFree_++;
}

uint64_t FatImageBuilder::SlotOffset(uint32_t folder, uint32_t index) {
  auto found = folders_.find(folder);
  if (found == folders_.end()) throw std::invalid_argument("no such folder: " + std::to_string(folder));
  Folder& target = found->second;
  if (fat16_ && folder == 1) {
    if (index >= 512) throw std::length_error("the FAT16 root area holds 512 entries");
    return (reserved_ + 2 * uint64_t{sectorsPerFat_}) * 512 + uint64_t{index} * 32;
  }
  const uint32_t perCluster = ClusterBytes() / 32;
  while (index / perCluster >= target.clusters.size()) {
    // A full folder grows by a fresh, zeroed cluster.
    target.clusters.push_back(Allocate());
    SetFat(target.clusters.end()[-2], target.clusters.back());
  }
  return ClusterOffset(target.clusters[index / perCluster]) + uint64_t{index % perCluster} * 32;
}

void FatImageBuilder::AddEntry(uint32_t folder, const FatEntry& entry) {
  const std::string number = std::to_string(++nameCounter_);
  const std::array<uint8_t, 11> name =
      ShortNameBytes(entry.shortName.empty() ? "N" + std::string(7 - number.size(), '0') + number : entry.shortName);
  uint8_t checksum = 0;
  for (const uint8_t byte : name) checksum = static_cast<uint8_t>(((checksum & 1) << 7) + (checksum >> 1) + byte);
  const std::u16string& longName = entry.longName;
  const size_t parts = (longName.size() + 12) / 13;
  auto slot = [&]() { return SlotOffset(folder, folders_.at(folder).nextSlot++); };
  for (size_t part = parts; part >= 1; --part) {
    const uint64_t at = slot();
    image_[at] = entry.deleted ? 0xE5 : static_cast<uint8_t>(part | (part == parts ? 0x40 : 0));
    image_[at + 0x0B] = 0x0F, image_[at + 0x0D] = checksum;
    for (size_t i = 0; i < 13; ++i) {
      const size_t c = (part - 1) * 13 + i;  // after the name's end: one 0, then 0xFFFF padding
      Put(at + kLongNameOffsets[i], c < longName.size() ? longName[c] : c == longName.size() ? 0 : 0xFFFF, 2);
    }
  }
  const uint64_t at = slot();
  std::copy(name.begin(), name.end(), image_.begin() + static_cast<std::ptrdiff_t>(at));
  if (entry.deleted) image_[at] = 0xE5;
  image_[at + 0x0B] = entry.attributes;
  Put(at + 0x10, 0x5821, 2);  // created 2024-01-01, modified 2024-01-02
  Put(at + 0x18, 0x5822, 2);
  Put(at + 0x14, entry.firstCluster >> 16, 2), Put(at + 0x1A, entry.firstCluster & 0xFFFF, 2);
  Put(at + 0x1C, entry.size, 4);
}

void FatImageBuilder::FillTo(uint32_t folder, uint32_t index) {
  while (folders_.at(folder).nextSlot < index) AddEntry(folder, FatEntry{"FILLER", {}, 0x20, 0, 0, true});
}

uint32_t FatImageBuilder::AddFolder(uint32_t parent, FatEntry entry) {
  folders_.at(parent);  // the parent must exist before anything is allocated
  if (entry.firstCluster == 0) entry.firstCluster = Allocate();
  entry.attributes |= kFatAttrFolder;
  const uint32_t cluster = entry.firstCluster;
  if (entry.deleted) SetFat(cluster, 0);
  folders_[cluster] = Folder{{cluster}, 0};
  std::fill_n(image_.begin() + static_cast<std::ptrdiff_t>(ClusterOffset(cluster)), ClusterBytes(), 0);
  AddEntry(cluster, FatEntry{".", {}, kFatAttrFolder, cluster});
  AddEntry(cluster, FatEntry{"..", {}, kFatAttrFolder, parent == RootFolder() ? 0 : parent});  // 0: the root
  AddEntry(parent, entry);
  return cluster;
}

uint32_t FatImageBuilder::AddFile(uint32_t folder, FatEntry entry, std::span<const uint8_t> content,
                                  std::vector<uint32_t> clusters) {
  for (size_t at = clusters.empty() ? 0 : content.size(); at < content.size(); at += ClusterBytes()) clusters.push_back(Allocate());
  if (uint64_t{clusters.size()} * ClusterBytes() < content.size()) throw std::length_error("content needs more clusters");
  for (size_t i = 0; i < clusters.size(); ++i) {
    const size_t from = std::min(content.size(), i * ClusterBytes());
    const auto piece = content.subspan(from, std::min<size_t>(ClusterBytes(), content.size() - from));
    const uint64_t at = ClusterOffset(clusters[i]);
    if (at + piece.size() > image_.size()) throw std::out_of_range("write past the volume");
    std::copy(piece.begin(), piece.end(), image_.begin() + static_cast<std::ptrdiff_t>(at));
  }
  for (size_t i = 0; i < clusters.size(); ++i) {  // linked in order, or freed
    SetFat(clusters[i], entry.deleted ? 0 : i + 1 < clusters.size() ? clusters[i + 1] : EndOfChain());
  }
  if (entry.firstCluster == 0 && !clusters.empty()) entry.firstCluster = clusters.front();
  if (entry.size == 0) entry.size = static_cast<uint32_t>(content.size());
  AddEntry(folder, entry);
  return entry.firstCluster;
}

std::array<uint8_t, 11> FatImageBuilder::ShortNameBytes(std::string_view name) {
  std::array<uint8_t, 11> bytes;
  bytes.fill(' ');
  const size_t dot = name == "." || name == ".." ? std::string_view::npos : name.rfind('.');
  const std::string_view base = name.substr(0, dot);
  std::copy_n(base.begin(), std::min<size_t>(base.size(), dot == std::string_view::npos ? 11 : 8), bytes.begin());
  if (dot != std::string_view::npos) {
    const std::string_view extension = name.substr(dot + 1);
    std::copy_n(extension.begin(), std::min<size_t>(extension.size(), 3), bytes.begin() + 8);
  }
  return bytes;
}

std::vector<uint8_t> FatImageBuilder::Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  return bytes;
}

}  // namespace restora::test
