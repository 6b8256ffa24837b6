// SPDX-License-Identifier: GPL-3.0-or-later
// NTFS file records: the integrity check with its update-sequence repair, the attribute walk that
// never leaves the record, the run-list decoder, and the set-up that finds the master file table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ByteReader.h"
#include "EngineState.h"

namespace restora {

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrEnd = 0xFFFFFFFF;
constexpr uint32_t kVerifyRefused = 0xFFFFFFFF;
constexpr uint32_t kMaxFirstAttributeOffset = 60;  // callers accept a verified record only up to this
constexpr uint32_t kRootFolderRecord = 5;
constexpr const char* kIntegrityFailedLine = "ERROR,FileRecord's Integrity failed,VerifyRecord,";

// The highest first-attribute offset callers accept: 60, or on records of more than 1024 bytes
// (4096-byte sectors) the end of their longer update sequence, rounded up to 8 bytes.
inline uint32_t MaxFirstAttributeOffset(const VolumeInfo& info) {
  const uint32_t sequenceEnd = 0x30 + 2 * (uint32_t{info.sectorsPerRecord} + 1);
  const uint32_t aligned = (sequenceEnd + 7) & ~uint32_t{7};
  return aligned > kMaxFirstAttributeOffset ? aligned : kMaxFirstAttributeOffset;
}

// Bytes in one file record, from volumeInfo.
inline size_t RecordBytes(const VolumeInfo& info) { return size_t{info.sectorsPerRecord} * kSectorSize; }

// Checks the record's magic, that it is a base record, and its update sequence; repairs the last
// two bytes of each of its sectorsPerRecord sectors in place. A mismatch reports the integrity
// line through the state's diagnostics. Returns the first-attribute offset, or kVerifyRefused
// when the record is unusable (also when the buffer is smaller than sectorsPerRecord sectors).
uint32_t VerifyRecord(EngineState& state, std::span<uint8_t> record);

// The same check for an extension record, which must name a base record (at 0x20) instead.
uint32_t VerifyExtensionRecord(EngineState& state, std::span<uint8_t> record);

// One attribute header inside a record.
struct AttributeView {
  size_t offset = 0;    // from the record's start
  uint32_t type = 0;
  uint32_t length = 0;  // 0 for the end marker
};

// The attribute at offset, when its header lies inside the record: the end marker (type
// 0xFFFFFFFF) needs its 4 type bytes, any other attribute its 8-byte header and a non-zero length
// that stays inside the record. Nothing when the walk must end there.
std::optional<AttributeView> AttributeAt(Bytes record, size_t offset);

// Decodes the run list that starts at record[offset] into list (replacing what it held). Never
// reads past the record: a header whose fields run past it, a length field over 8 bytes, a
// length that does not fit 32 bits or an offset field over 8 bytes ends the list there. Returns 1.
int DecodeDataRuns(Bytes record, size_t offset, std::vector<NtfsRun>& list);

// Fills an NTFS-layout node from a verified record: status from the record flags, times and
// attributes from the standard information, name and parent record from the first file-name
// attribute (an 8.3 name gives way to a file-name attribute right after it), size from the last
// data attribute (named streams count). Every read stays inside its attribute. A name is set only
// from a file-name attribute; a node that has none keeps an empty name.
// Returns 1 when the walk ended at the end marker, 0 when it stopped at a type out of range or at
// an attribute that does not fit the record.
int ParseAttributes(Bytes record, uint32_t firstAttributeOffset, ScanNode& node);

// Reads the master file table's first record (or its mirror's, when the first cannot be read or
// is refused; accepted means verified with the attributes starting by byte 60) and loads the
// table's extents into mftRuns. Returns 1 when mftRuns holds at least one extent, else 0.
[[nodiscard]] int NtfsSetup(EngineState& state);

}  // namespace restora
