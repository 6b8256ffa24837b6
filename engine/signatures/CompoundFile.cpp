// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a compound file's allocation table and directory.
#include "CompoundFile.h"

#include <algorithm>
#include <set>
#include <vector>

#include "FormatEnds.h"

namespace restora {

namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxTableSectors = 1 << 20;
constexpr size_t kMaxDirectorySectors = 1 << 16;

struct Layout {
  uint64_t sectorSize = 0;
  std::vector<uint32_t> tableSectors;  // the sectors that hold the allocation table, in order
};

uint64_t SectorAt(const Layout& layout, uint32_t sector) { return (uint64_t{sector} + 1) * layout.sectorSize; }

bool ReadLayout(FileBytes& bytes, Layout& layout) {
  uint16_t shift = 0;
  uint32_t tableCount = 0, chainStart = 0, chainCount = 0;
  if (!bytes.Equals(0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") || !bytes.U16LE(0x1E, shift) ||
      (shift != 9 && shift != 12) || !bytes.U32LE(0x2C, tableCount) || !bytes.U32LE(0x44, chainStart) ||
      !bytes.U32LE(0x48, chainCount)) {
    return false;
  }
  layout.sectorSize = uint64_t{1} << shift;
  if (tableCount == 0 || tableCount > kMaxTableSectors || tableCount > bytes.Bound() / layout.sectorSize) return false;
  // The first 109 table sectors are listed in the header, the rest in a chain of list sectors
  // whose last entry points to the next one.
  for (uint32_t i = 0; i < 109 && layout.tableSectors.size() < tableCount; ++i) {
    uint32_t sector = 0;
    if (!bytes.U32LE(0x4C + uint64_t{i} * 4, sector)) return false;
    layout.tableSectors.push_back(sector);
  }
  const uint64_t perList = layout.sectorSize / 4 - 1;
  uint32_t list = chainStart;
  for (uint32_t n = 0; layout.tableSectors.size() < tableCount; ++n) {
    if (n >= chainCount + 1 || list >= kEndOfChain) return false;
    for (uint64_t i = 0; i < perList && layout.tableSectors.size() < tableCount; ++i) {
      uint32_t sector = 0;
      if (!bytes.U32LE(SectorAt(layout, list) + i * 4, sector)) return false;
      layout.tableSectors.push_back(sector);
    }
    if (!bytes.U32LE(SectorAt(layout, list) + perList * 4, list)) return false;
  }
  return true;
}

// The allocation table's entry for sector; false when it cannot be read.
bool Next(FileBytes& bytes, const Layout& layout, uint32_t sector, uint32_t& next) {
  const uint64_t perSector = layout.sectorSize / 4;
  const uint64_t index = sector / perSector;
  if (index >= layout.tableSectors.size()) return false;
  return bytes.U32LE(SectorAt(layout, layout.tableSectors[index]) + (sector % perSector) * 4, next);
}

// The end of the highest used sector: the table is searched from its last sector backwards.
uint64_t HighestUsedEnd(FileBytes& bytes, const Layout& layout) {
  const uint64_t perSector = layout.sectorSize / 4;
  for (size_t index = layout.tableSectors.size(); index > 0; --index) {
    const uint64_t at = SectorAt(layout, layout.tableSectors[index - 1]);
    for (uint64_t k = perSector; k > 0; --k) {
      uint32_t entry = 0;
      if (!bytes.U32LE(at + (k - 1) * 4, entry)) return 0;
      if (entry == kFree) continue;
      const uint64_t end = ((index - 1) * perSector + k + 1) * layout.sectorSize;
      return bytes.Holds(0, end) ? end : 0;
    }
  }
  return 0;
}

// Whether the 128-byte directory entry at offset is named name (UTF-16LE, compared whole).
bool EntryNamed(FileBytes& bytes, uint64_t entry, std::u16string_view name) {
  uint16_t length = 0;
  if (!bytes.U16LE(entry + 64, length) || length != (name.size() + 1) * 2) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    uint16_t c = 0;
    if (!bytes.U16LE(entry + i * 2, c) || c != name[i]) return false;
  }
  return true;
}

}  // namespace

CompoundFileInfo ReadCompoundFile(FileBytes& bytes) {
  CompoundFileInfo info;
  Layout layout;
  if (!ReadLayout(bytes, layout)) return info;
  info.end = HighestUsedEnd(bytes, layout);

  uint32_t sector = 0;
  if (!bytes.U32LE(0x30, sector)) return info;
  std::set<uint32_t> seen;
  for (size_t walked = 0; sector < kEndOfChain && walked < kMaxDirectorySectors; ++walked) {
    if (!seen.insert(sector).second) break;  // a looping chain
    const uint64_t at = SectorAt(layout, sector);
    for (uint64_t entry = at; entry < at + layout.sectorSize; entry += 128) {
      if (walked == 0 && entry == at) {
        uint8_t type = 0;
        info.hasRoot = EntryNamed(bytes, entry, u"Root Entry") && bytes.U8(entry + 66, type) && type == 5;
        if (!info.hasRoot) return info;
        continue;
      }
      if (!info.type.empty()) continue;
      if (EntryNamed(bytes, entry, u"WordDocument")) info.type = "doc";
      if (EntryNamed(bytes, entry, u"Workbook") || EntryNamed(bytes, entry, u"Book")) info.type = "xls";
      if (EntryNamed(bytes, entry, u"PowerPoint Document")) info.type = "ppt";
    }
    if (!info.type.empty()) break;
    if (!Next(bytes, layout, sector, sector)) break;
  }
  return info;
}

uint64_t CompoundFileEnd(FileBytes& bytes) { return ReadCompoundFile(bytes).end; }

}  // namespace restora
