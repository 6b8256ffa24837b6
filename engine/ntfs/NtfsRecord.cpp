// SPDX-License-Identifier: GPL-3.0-or-later
// File record check, attribute walk and run-list decoding.
#include "NtfsRecord.h"

#include <algorithm>
#include <cstring>

#include "SectorRead.h"

namespace restora {

namespace {

uint32_t Verify(EngineState& state, std::span<uint8_t> record, bool extension) {
  const Bytes r(record);
  if (!Fits(r, 0, 4) || std::memcmp(record.data(), "FILE", 4) != 0) return kVerifyRefused;
  if (LoadU8(r, 5) != 0) return kVerifyRefused;  // update-sequence offset beyond the first 256 bytes
  // A base record names no base; an extension record names the record it belongs to.
  if ((LoadU64(r, 0x20) != 0) != extension) return kVerifyRefused;
  const size_t sectors = state.volumeInfo.sectorsPerRecord;
  if (sectors == 0 || record.size() < sectors * kSectorSize) return kVerifyRefused;
  const uint16_t sequenceOffset = LoadU16(r, 4);
  const uint16_t sequence = LoadU16(r, sequenceOffset);
  for (size_t i = 0; i < sectors; ++i) {
    const size_t tail = i * kSectorSize + kSectorSize - 2;
    if (LoadU16(r, tail) != sequence) {
      state.ReportDiagnostic(kIntegrityFailedLine);
      return kVerifyRefused;
    }
    StoreU16(record, tail, LoadU16(r, sequenceOffset + 2 + 2 * i));
  }
  return LoadU16(r, 0x14);
}

}  // namespace

uint32_t VerifyRecord(EngineState& state, std::span<uint8_t> record) { return Verify(state, record, false); }

uint32_t VerifyExtensionRecord(EngineState& state, std::span<uint8_t> record) { return Verify(state, record, true); }

std::optional<AttributeView> AttributeAt(Bytes record, size_t offset) {
  if (!Fits(record, offset, 4)) return std::nullopt;
  AttributeView view;
  view.offset = offset;
  view.type = LoadU32(record, offset);
  if (view.type == kAttrEnd) return view;
  if (!Fits(record, offset, 8)) return std::nullopt;
  view.length = LoadU32(record, offset + 4);
  if (view.length == 0 || !Fits(record, offset, view.length)) return std::nullopt;
  return view;
}

int DecodeDataRuns(Bytes record, size_t offset, std::vector<NtfsRun>& list) {
  list.clear();
  uint64_t cluster = 0;
  size_t position = offset;
  while (position < record.size()) {
    const uint8_t header = record[position];
    if (header == 0) break;
    const size_t lengthBytes = header & 0x0F;
    const size_t offsetBytes = header >> 4;
    if (lengthBytes > 8 || offsetBytes > 8 || !Fits(record, position + 1, lengthBytes + offsetBytes)) break;
    ++position;
    uint64_t length = 0;
    for (size_t i = 0; i < lengthBytes; ++i) length |= uint64_t{record[position + i]} << (8 * i);
    position += lengthBytes;
    // An extent keeps its length in 32 bits; a longer one cannot be held and ends the list
    // rather than be cut to a wrong length.
    if (length > 0xFFFFFFFFu) break;
    NtfsRun run;
    run.length = static_cast<uint32_t>(length);
    if (offsetBytes != 0) {
      uint64_t delta = 0;
      for (size_t i = 0; i < offsetBytes; ++i) delta |= uint64_t{record[position + i]} << (8 * i);
      if (offsetBytes < 8 && (record[position + offsetBytes - 1] & 0x80) != 0) {
        delta |= ~uint64_t{0} << (8 * offsetBytes);  // sign-extend the relative offset
      }
      cluster += delta;  // two's complement: adding wraps exactly like a signed sum
      run.lcn = cluster;
      position += offsetBytes;
    }
    list.push_back(run);
  }
  return 1;
}

int NtfsSetup(EngineState& state) {
  const VolumeInfo& info = state.volumeInfo;
  const size_t recordBytes = RecordBytes(info);
  if (recordBytes == 0) return 0;
  std::vector<uint8_t> record(recordBytes, 0);
  uint32_t firstAttribute = kVerifyRefused;
  for (uint64_t cluster : {info.mftCluster, info.mftMirrorCluster}) {
    std::fill(record.begin(), record.end(), 0);
    uint64_t sector = 0;
    if (!CheckedMul(cluster, info.ntfsSectorsPerCluster, sector)) continue;
    if (!ReadSectors(state, sector, record)) continue;
    firstAttribute = VerifyRecord(state, record);
    if (firstAttribute <= MaxFirstAttributeOffset(info)) break;
  }
  if (firstAttribute > MaxFirstAttributeOffset(info)) return 0;
  state.mftRuns.clear();
  const Bytes r(record);
  size_t offset = firstAttribute;
  while (auto attribute = AttributeAt(r, offset)) {
    if (attribute->type == kAttrData) {
      // The table's own data attribute is always non-resident.
      DecodeDataRuns(r, attribute->offset + LoadU16(r, attribute->offset + 0x20), state.mftRuns);
      break;
    }
    if (attribute->type == 0 || attribute->type > kAttrData) break;  // also the end marker
    offset += attribute->length;
  }
  return state.mftRuns.empty() ? 0 : 1;
}

}  // namespace restora
