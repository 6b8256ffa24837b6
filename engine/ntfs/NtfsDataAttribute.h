// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a file's data attribute: in its own record, or, for a file whose attributes spread over
// extension records (an attribute list), gathered from those records piece by piece.
#pragma once

#include <cstdint>
#include <vector>

#include "ByteReader.h"
#include "EngineState.h"
#include "MftTable.h"

namespace restora {

constexpr uint32_t kAttrAttributeList = 0x20;

// The data attribute the recovery copies: the first data attribute of the record that has
// content (unnamed or named).
struct DataAttribute {
  enum class Form { None, Resident, NonResident, Damaged } form = Form::None;
  std::vector<uint8_t> resident;
  std::vector<NtfsRun> runs;  // non-resident: the extents of every piece, in file order
  uint64_t realSize = 0;
  uint64_t initializedSize = 0;
  bool compressed = false;
};

// The data attribute of a verified record whose attributes start at firstAttribute. Pieces of the
// attribute that lie in extension records are not looked for.
DataAttribute FindDataAttribute(Bytes record, size_t firstAttribute);

// One extension record that a record's attribute list names.
struct ExtensionRecord {
  uint64_t number = 0;
  uint16_t sequence = 0;
};

// The records other than the base record itself that the attribute list of a verified base
// record names, each once, in list order. A resident list is read from the record, a
// non-resident one (up to kMaxAttributeListBytes) from the volume; at most kMaxExtensionRecords.
// Empty when the record has no attribute list.
std::vector<ExtensionRecord> ListedExtensions(EngineState& state, Bytes record, size_t firstAttribute);

constexpr size_t kMaxAttributeListBytes = 256 * 1024;
constexpr size_t kMaxExtensionRecords = 1024;

// Reads extension record ext of the base record in base (verified; its own number at 0x2C and
// sequence at 0x10) into buffer (RecordBytes long) and verifies it. The extension must name the
// base record as its base, by number and by sequence (the one the base has, or the one before,
// since freeing a record steps its sequence), and carry the sequence the list gave (or the one
// after). Returns the first-attribute offset, or kVerifyRefused when the record cannot be read,
// fails its check, or belongs to another file now.
uint32_t ReadExtensionRecord(EngineState& state, const MftTable& table, Bytes base, const ExtensionRecord& ext,
                             std::vector<uint8_t>& buffer);

// The data attribute of a file whose base record (verified) has an attribute list: the first
// data attribute with content among the base and its extension records, its pieces (by starting
// cluster) joined into one run list, sizes and flags from the piece that starts at cluster 0.
// Without an attribute list the same as FindDataAttribute.
DataAttribute GatherDataAttribute(EngineState& state, const MftTable& table, Bytes base, size_t firstAttribute);

}  // namespace restora
