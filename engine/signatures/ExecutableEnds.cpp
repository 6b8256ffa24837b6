// SPDX-License-Identifier: GPL-3.0-or-later
// Programs: Windows PE files end with their last section or certificate table; 64-bit ELF files
// with their last section, segment or the section table. Data a program appends to itself
// (installer payloads) is not described by these structures.
#include "FormatEnds.h"

#include <algorithm>

namespace restora {

uint64_t PeEnd(FileBytes& bytes) {
  uint32_t peAt = 0;
  uint16_t sections = 0, optionalSize = 0, magic = 0;
  if (!bytes.Equals(0, "MZ") || !bytes.U32LE(0x3C, peAt) || !bytes.Equals(peAt, std::string_view("PE\0\0", 4)) ||
      !bytes.U16LE(peAt + 6, sections) || !bytes.U16LE(peAt + 20, optionalSize) || !bytes.U16LE(peAt + 24, magic)) {
    return 0;
  }
  const uint64_t optional = uint64_t{peAt} + 24;
  const uint64_t table = optional + optionalSize;
  uint64_t end = table + uint64_t{sections} * 40;
  for (uint16_t i = 0; i < sections; ++i) {
    uint32_t rawSize = 0, rawAt = 0;
    if (!bytes.U32LE(table + uint64_t{i} * 40 + 16, rawSize) || !bytes.U32LE(table + uint64_t{i} * 40 + 20, rawAt)) {
      return 0;
    }
    if (rawSize != 0) end = std::max(end, uint64_t{rawAt} + rawSize);
  }
  // The certificate table (data directory 4) is addressed by file offset, behind the sections.
  const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
  uint32_t certificateAt = 0, certificateSize = 0;
  if (optionalSize >= directories - optional + 40 && bytes.U32LE(directories + 32, certificateAt) &&
      bytes.U32LE(directories + 36, certificateSize) && certificateAt != 0) {
    end = std::max(end, uint64_t{certificateAt} + certificateSize);
  }
  return bytes.Holds(0, end) ? end : 0;
}

uint64_t ElfEnd(FileBytes& bytes) {
  uint64_t programAt = 0, sectionAt = 0;
  uint16_t programSize = 0, programs = 0, sectionSize = 0, sectionCount = 0;
  if (!bytes.Equals(0, "\x7F" "ELF\x02\x01") || !bytes.U64LE(0x20, programAt) || !bytes.U64LE(0x28, sectionAt) ||
      !bytes.U16LE(0x36, programSize) || !bytes.U16LE(0x38, programs) || !bytes.U16LE(0x3A, sectionSize) ||
      !bytes.U16LE(0x3C, sectionCount)) {
    return 0;
  }
  if (programSize < 56 && programs != 0) return 0;
  if (sectionSize < 64 && sectionCount != 0) return 0;
  if (programAt > bytes.Bound() || sectionAt > bytes.Bound()) return 0;
  uint64_t end = std::max<uint64_t>(64, programAt + uint64_t{programSize} * programs);
  end = std::max(end, sectionAt + uint64_t{sectionSize} * sectionCount);
  for (uint16_t i = 0; i < programs; ++i) {
    uint64_t at = 0, size = 0;
    if (!bytes.U64LE(programAt + uint64_t{i} * programSize + 8, at) ||
        !bytes.U64LE(programAt + uint64_t{i} * programSize + 32, size) || at > bytes.Bound() || size > bytes.Bound()) {
      return 0;
    }
    end = std::max(end, at + size);
  }
  for (uint16_t i = 0; i < sectionCount; ++i) {
    uint32_t type = 0;
    uint64_t at = 0, size = 0;
    const uint64_t header = sectionAt + uint64_t{i} * sectionSize;
    if (!bytes.U32LE(header + 4, type) || !bytes.U64LE(header + 24, at) || !bytes.U64LE(header + 32, size) ||
        at > bytes.Bound() || size > bytes.Bound()) {
      return 0;
    }
    if (type != 8) end = std::max(end, at + size);  // sections without bytes in the file (bss) aside
  }
  return bytes.Holds(0, end) ? end : 0;
}

}  // namespace restora
