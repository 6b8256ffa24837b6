// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the cluster bitmap of an NTFS volume.
#include "NtfsBitmap.h"

#include "NtfsRecord.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint64_t kBitmapRecord = 6;

}  // namespace

NtfsBitmap::NtfsBitmap(EngineState& state, const MftTable& table) : state_(state) {
  std::vector<uint8_t> record(table.RecordBytes(), 0);
  if (record.empty() || !table.ReadRecords(kBitmapRecord, 1, record)) return;
  const uint32_t first = VerifyRecord(state, record);
  if (first > MaxFirstAttributeOffset(state.volumeInfo)) return;
  DataAttribute data = GatherDataAttribute(state, table, record, first);
  if (data.form != DataAttribute::Form::NonResident) return;
  runs_ = std::move(data.runs);
  size_ = data.realSize;
}

const NtfsBitmap::Piece* NtfsBitmap::Load(uint64_t piece) {
  if (auto hit = pieces_.find(piece); hit != pieces_.end()) return &hit->second;
  const uint64_t sectorsPerCluster = state_.volumeInfo.ntfsSectorsPerCluster;
  if (sectorsPerCluster == 0) return nullptr;
  // The piece's cluster within the bitmap, then that cluster's place on the volume.
  uint64_t vcn = piece / sectorsPerCluster;
  for (const NtfsRun& run : runs_) {
    if (vcn >= run.length) {
      vcn -= run.length;
      continue;
    }
    if (run.lcn == 0) return nullptr;
    uint64_t sector = 0;
    if (!CheckedMul(run.lcn + vcn, sectorsPerCluster, sector)) return nullptr;
    Piece bytes{};
    if (!ReadSectors(state_, sector + piece % sectorsPerCluster, bytes)) return nullptr;
    if (pieces_.size() >= kMaxCachedPieces) pieces_.clear();
    return &pieces_.emplace(piece, bytes).first->second;
  }
  return nullptr;
}

int NtfsBitmap::InUse(uint64_t cluster) {
  const uint64_t byte = cluster / 8;
  if (byte >= size_) return 1;  // past the bitmap: no cluster of the volume, nothing to find there
  const Piece* piece = Load(byte / kSectorSize);
  if (piece == nullptr) return -1;
  return ((*piece)[byte % kSectorSize] >> (cluster % 8)) & 1;
}

uint8_t NtfsBitmap::OverwrittenPercent(const DataAttribute& data) {
  if (data.form == DataAttribute::Form::Resident) return 0;
  if (data.form != DataAttribute::Form::NonResident || !Usable()) return kOverwrittenUnknown;
  const uint64_t clusterBytes = uint64_t{state_.volumeInfo.ntfsSectorsPerCluster} * kSectorSize;
  if (clusterBytes == 0) return kOverwrittenUnknown;
  const uint64_t useful = data.realSize / clusterBytes + (data.realSize % clusterBytes != 0);
  uint64_t vcn = 0;
  uint64_t placed = 0;
  uint64_t used = 0;
  for (const NtfsRun& run : data.runs) {
    if (vcn >= useful) break;
    const uint64_t count = std::min<uint64_t>(run.length, useful - vcn);
    vcn += run.length;
    if (run.lcn == 0) continue;  // sparse: nothing on the volume
    for (uint64_t i = 0; i < count; ++i) {
      const int bit = InUse(run.lcn + i);
      if (bit < 0) return kOverwrittenUnknown;
      used += static_cast<uint64_t>(bit);
    }
    placed += count;
  }
  if (placed == 0 || used == 0) return 0;
  if (used >= placed) return 100;
  const uint64_t percent = used * 100 / placed;
  return static_cast<uint8_t>(percent == 0 ? 1 : (percent >= 100 ? 99 : percent));
}

}  // namespace restora
