// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-built compound documents for the engine tests.
#pragma once

#include <string>
#include <vector>

#include "SignatureRecord.h"

namespace restora::test {

// Writes a compound document's header at sector of disk (signature, allocationTableSectors at
// 0x2C, directorySector at 0x30) and, when entryNames is not empty, the names of the first
// directory entries (UTF-16LE, 128 bytes apart) into the sector directorySector + 1 sectors on.
void PlantCompoundDocument(std::vector<uint8_t>& disk, uint64_t sector, uint32_t directorySector,
                           uint32_t allocationTableSectors, const std::vector<std::u16string>& entryNames);

// A selected record with the compound-document signature, the given extension and family.
SignatureRecord CompoundRecord(const char* extension, uint8_t family);

}  // namespace restora::test
