// SPDX-License-Identifier: GPL-3.0-or-later
// Mapping table records onto the volume through the table's extents.
#include "MftTable.h"

#include <algorithm>

#include "NtfsRecord.h"
#include "SectorRead.h"

namespace restora {

MftTable::MftTable(EngineState& state) : state_(state), recordBytes_(restora::RecordBytes(state.volumeInfo)) {
  const uint64_t clusterBytes = uint64_t{state.volumeInfo.ntfsSectorsPerCluster} * kSectorSize;
  uint64_t tableBytes = 0;
  for (const NtfsRun& run : state.mftRuns) {
    Extent extent;
    extent.tableByte = tableBytes;
    extent.bytes = uint64_t{run.length} * clusterBytes;  // at most 2^32 × 2^14, no overflow
    // Cluster 0 holds the boot sector, so an extent there is a sparse one: the table has no
    // records in it, and reading the volume's start in their place would only echo other records.
    extent.placed = run.lcn != 0 && CheckedMul(run.lcn, clusterBytes, extent.volumeByte);
    tableBytes += extent.bytes;
    if (extent.bytes != 0) extents_.push_back(extent);
  }
  recordCount_ = recordBytes_ == 0 ? 0 : tableBytes / recordBytes_;
}

size_t MftTable::ExtentAt(uint64_t position) const {
  auto after = std::upper_bound(extents_.begin(), extents_.end(), position,
                                [](uint64_t p, const Extent& e) { return p < e.tableByte; });
  if (after == extents_.begin()) return extents_.size();
  const size_t index = static_cast<size_t>(after - extents_.begin()) - 1;
  const Extent& extent = extents_[index];
  return position - extent.tableByte < extent.bytes ? index : extents_.size();
}

bool MftTable::RecordSector(uint64_t n, uint64_t& sector) const {
  if (n >= recordCount_) return false;
  const uint64_t position = n * recordBytes_;
  const size_t index = ExtentAt(position);
  if (index == extents_.size() || !extents_[index].placed) return false;
  const Extent& extent = extents_[index];
  const uint64_t inside = position - extent.tableByte;
  if (extent.volumeByte > ~uint64_t{0} - inside) return false;
  sector = (extent.volumeByte + inside) / kSectorSize;
  return true;
}

uint64_t MftTable::NextRecordWithin(uint64_t n, uint64_t sourceBytes) const {
  if (recordBytes_ == 0 || n >= recordCount_) return recordCount_;
  const uint64_t position = n * recordBytes_;
  for (size_t index = ExtentAt(position); index < extents_.size(); ++index) {
    const Extent& extent = extents_[index];
    const uint64_t from = std::max(position, extent.tableByte);
    const uint64_t inside = from - extent.tableByte;
    if (extent.placed && extent.volumeByte < sourceBytes && sourceBytes - extent.volumeByte > inside) {
      return std::max(n, from / recordBytes_);
    }
  }
  return recordCount_;
}

int MftTable::ReadRecords(uint64_t first, uint64_t count, std::span<uint8_t> buffer) const {
  if (first >= recordCount_ || count > recordCount_ - first || buffer.size() < count * recordBytes_) return 0;
  uint64_t position = first * recordBytes_;
  size_t done = 0;
  const size_t wanted = static_cast<size_t>(count * recordBytes_);
  size_t index = ExtentAt(position);
  while (done < wanted) {
    if (index >= extents_.size() || !extents_[index].placed) return 0;
    const Extent& extent = extents_[index];
    const uint64_t inside = position - extent.tableByte;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(extent.bytes - inside, wanted - done));
    if (extent.volumeByte > ~uint64_t{0} - inside) return 0;
    const std::span<uint8_t> part = buffer.subspan(done, piece);
    size_t delivered = 0;
    if (!ReadBytesAt(state_, extent.volumeByte + inside, part, &delivered)) return 0;
    std::fill(part.begin() + static_cast<std::ptrdiff_t>(std::min(delivered, piece)), part.end(), uint8_t{0});
    done += piece;
    position += piece;
    ++index;  // the extents are contiguous in the table, so the next piece starts the next one
  }
  return 1;
}

}  // namespace restora
