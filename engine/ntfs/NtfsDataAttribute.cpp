// SPDX-License-Identifier: GPL-3.0-or-later
// The data attribute of a record, and of a file spread over extension records.
#include "NtfsDataAttribute.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "NtfsRecord.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint16_t kAttributeCompressed = 0x0001;  // attribute flags at +0x0C
constexpr uint64_t kRecordNumberMask = (uint64_t{1} << 48) - 1;

bool IsNonResident(Bytes attribute) { return LoadU8(attribute, 8) == 1; }

// The attribute's name (UTF-16 units as stored), cut to the attribute.
std::u16string AttributeName(Bytes attribute) {
  const size_t length = LoadU8(attribute, 0x09);
  const size_t offset = LoadU16(attribute, 0x0A);
  std::u16string name;
  for (size_t i = 0; i < length && Fits(attribute, offset + 2 * i, 2); ++i) {
    name.push_back(static_cast<char16_t>(LoadU16(attribute, offset + 2 * i)));
  }
  return name;
}

// A data attribute (or one piece of it) with content: resident bytes, or clusters up to a
// non-zero initialized size.
bool HasContent(Bytes attribute) {
  return IsNonResident(attribute) ? LoadU64(attribute, 0x38) != 0 : LoadU32(attribute, 0x10) != 0;
}

// Fills data from the attribute (the piece at cluster 0 for a non-resident one).
void TakeAttribute(Bytes a, DataAttribute& data) {
  if (IsNonResident(a)) {
    data.form = DataAttribute::Form::NonResident;
    data.initializedSize = LoadU64(a, 0x38);
    data.realSize = LoadU64(a, 0x30);
    data.compressed = (LoadU16(a, 0x0C) & kAttributeCompressed) != 0;
    // The run list may not reach past its own attribute.
    DecodeDataRuns(a, LoadU16(a, 0x20), data.runs);
    return;
  }
  const uint32_t length = LoadU32(a, 0x10);
  const uint16_t valueOffset = LoadU16(a, 0x14);
  if (!Fits(a, valueOffset, length)) {
    data.form = DataAttribute::Form::Damaged;
    return;
  }
  data.form = DataAttribute::Form::Resident;
  data.resident.assign(a.begin() + valueOffset, a.begin() + valueOffset + length);
}

// Calls visit(attributeBytes) for every attribute of type in a verified record.
template <typename Visit>
void ForEachAttribute(Bytes record, size_t firstAttribute, uint32_t type, Visit visit) {
  size_t offset = firstAttribute;
  while (auto attribute = AttributeAt(record, offset)) {
    if (attribute->type == kAttrEnd) return;
    if (attribute->type == type) visit(record.subspan(attribute->offset, attribute->length));
    offset += attribute->length;
  }
}

// The bytes of a non-resident attribute list, read from the volume.
std::vector<uint8_t> ReadNonResidentList(EngineState& state, Bytes attribute) {
  const uint64_t clusterBytes = uint64_t{state.volumeInfo.ntfsSectorsPerCluster} * kSectorSize;
  const uint64_t size = std::min<uint64_t>(LoadU64(attribute, 0x30), kMaxAttributeListBytes);
  std::vector<NtfsRun> runs;
  DecodeDataRuns(attribute, LoadU16(attribute, 0x20), runs);
  std::vector<uint8_t> bytes;
  if (clusterBytes == 0) return bytes;
  for (const NtfsRun& run : runs) {
    if (bytes.size() >= size || run.lcn == 0) break;
    const uint64_t want = std::min<uint64_t>(uint64_t{run.length} * clusterBytes, size - bytes.size());
    const size_t at = bytes.size();
    bytes.resize(at + static_cast<size_t>((want + kSectorSize - 1) / kSectorSize * kSectorSize), 0);
    uint64_t sector = 0;
    if (!CheckedMul(run.lcn, state.volumeInfo.ntfsSectorsPerCluster, sector) ||
        !ReadSectors(state, sector, std::span<uint8_t>(bytes.data() + at, bytes.size() - at))) {
      bytes.resize(at);
      break;
    }
    bytes.resize(at + static_cast<size_t>(want));
  }
  return bytes;
}

// Steps a record's sequence back by one, as freeing it stepped it on (0 is skipped).
uint16_t PreviousSequence(uint16_t sequence) { return sequence <= 1 ? 0xFFFF : static_cast<uint16_t>(sequence - 1); }

}  // namespace

DataAttribute FindDataAttribute(Bytes record, size_t firstAttribute) {
  DataAttribute data;
  bool found = false;
  ForEachAttribute(record, firstAttribute, kAttrData, [&](Bytes a) {
    if (found || !HasContent(a)) return;
    found = true;
    TakeAttribute(a, data);
  });
  return data;
}

std::vector<ExtensionRecord> ListedExtensions(EngineState& state, Bytes record, size_t firstAttribute) {
  std::vector<uint8_t> list;
  bool seen = false;
  ForEachAttribute(record, firstAttribute, kAttrAttributeList, [&](Bytes a) {
    if (seen) return;
    seen = true;
    if (IsNonResident(a)) {
      list = ReadNonResidentList(state, a);
    } else if (Fits(a, LoadU16(a, 0x14), LoadU32(a, 0x10))) {
      const Bytes value = a.subspan(LoadU16(a, 0x14), LoadU32(a, 0x10));
      list.assign(value.begin(), value.end());
    }
  });
  std::vector<ExtensionRecord> extensions;
  if (list.empty()) return extensions;  // most records have no list: no set to build
  const uint64_t self = LoadU32(record, 0x2C);
  std::unordered_set<uint64_t> listed{self};
  const Bytes entries(list);
  size_t offset = 0;
  // Each entry: type, its length, name, starting cluster and the record that holds the attribute.
  while (Fits(entries, offset, 0x1A) && extensions.size() < kMaxExtensionRecords) {
    const uint16_t length = LoadU16(entries, offset + 4);
    if (length < 0x1A || !Fits(entries, offset, length)) break;
    const uint64_t reference = LoadU64(entries, offset + 0x10);
    const ExtensionRecord ext{reference & kRecordNumberMask, static_cast<uint16_t>(reference >> 48)};
    if (listed.insert(ext.number).second) extensions.push_back(ext);
    offset += length;
  }
  return extensions;
}

uint32_t ReadExtensionRecord(EngineState& state, const MftTable& table, Bytes base, const ExtensionRecord& ext,
                             std::vector<uint8_t>& buffer) {
  buffer.assign(table.RecordBytes(), 0);
  if (ext.number >= table.RecordCount() || !table.ReadRecords(ext.number, 1, buffer)) return kVerifyRefused;
  const uint32_t first = VerifyExtensionRecord(state, buffer);
  if (first > MaxFirstAttributeOffset(state.volumeInfo)) return kVerifyRefused;
  const Bytes r(buffer);
  const uint64_t baseReference = LoadU64(r, 0x20);
  const uint16_t baseSequence = LoadU16(base, 0x10);
  const uint16_t ownSequence = LoadU16(r, 0x10);
  const uint16_t namedSequence = static_cast<uint16_t>(baseReference >> 48);
  const bool ofBase = (baseReference & kRecordNumberMask) == LoadU32(base, 0x2C) &&
                      (namedSequence == baseSequence || namedSequence == PreviousSequence(baseSequence));
  const bool asListed = ownSequence == ext.sequence || PreviousSequence(ownSequence) == ext.sequence;
  return ofBase && asListed ? first : kVerifyRefused;
}

DataAttribute GatherDataAttribute(EngineState& state, const MftTable& table, Bytes base, size_t firstAttribute) {
  const std::vector<ExtensionRecord> extensions = ListedExtensions(state, base, firstAttribute);
  if (extensions.empty()) return FindDataAttribute(base, firstAttribute);

  // Every data attribute piece of the base and its extension records, in record order.
  struct Piece {
    std::vector<uint8_t> bytes;
    std::u16string name;
    uint64_t startCluster = 0;
  };
  std::vector<Piece> pieces;
  auto collect = [&](Bytes record, size_t first) {
    ForEachAttribute(record, first, kAttrData, [&](Bytes a) {
      pieces.push_back(Piece{std::vector<uint8_t>(a.begin(), a.end()), AttributeName(a),
                             IsNonResident(a) ? LoadU64(a, 0x10) : 0});
    });
  };
  collect(base, firstAttribute);
  std::vector<uint8_t> buffer;
  for (const ExtensionRecord& ext : extensions) {
    const uint32_t first = ReadExtensionRecord(state, table, base, ext, buffer);
    if (first != kVerifyRefused) collect(buffer, first);
  }

  // The stream copied: the unnamed one when it has content, else the first named one that has.
  const Piece* chosen = nullptr;
  for (const Piece& piece : pieces) {
    if (piece.startCluster != 0 || !HasContent(piece.bytes)) continue;
    if (chosen == nullptr || (piece.name.empty() && !chosen->name.empty())) chosen = &piece;
  }
  DataAttribute data;
  if (chosen == nullptr) return data;
  TakeAttribute(chosen->bytes, data);
  if (data.form != DataAttribute::Form::NonResident) return data;

  // The later pieces of the stream, joined in cluster order; the list ends where a piece is
  // missing, so the copy comes out short rather than with a hole of wrong bytes.
  std::vector<const Piece*> later;
  for (const Piece& piece : pieces) {
    if (piece.name == chosen->name && piece.startCluster != 0 && IsNonResident(piece.bytes)) later.push_back(&piece);
  }
  std::sort(later.begin(), later.end(),
            [](const Piece* a, const Piece* b) { return a->startCluster < b->startCluster; });
  uint64_t next = 0;
  for (const NtfsRun& run : data.runs) next += run.length;
  for (const Piece* piece : later) {
    if (piece->startCluster != next) break;
    std::vector<NtfsRun> runs;
    DecodeDataRuns(piece->bytes, LoadU16(piece->bytes, 0x20), runs);
    for (const NtfsRun& run : runs) next += run.length;
    data.runs.insert(data.runs.end(), runs.begin(), runs.end());
  }
  return data;
}

}  // namespace restora
