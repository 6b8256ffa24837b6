// SPDX-License-Identifier: GPL-3.0-or-later
// Copying an NTFS entry's data attribute: resident bytes, or extents collected into compression
// units of 16 clusters and written at their place in the file.
#include "NtfsData.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ByteReader.h"
#include "Lznt1.h"
#include "NtfsRecord.h"
#include "SectorRead.h"

namespace restora {

namespace {

constexpr uint64_t kUnitClusters = 16;
constexpr uint16_t kAttributeCompressed = 0x0001;  // attribute flags at +0x0C

// The first data attribute of a record that has content.
struct DataAttribute {
  enum class Form { None, Resident, NonResident, Damaged } form = Form::None;
  Bytes resident;
  std::vector<NtfsRun> runs;
  uint64_t realSize = 0;
  uint64_t initializedSize = 0;
  bool compressed = false;
};

DataAttribute FindDataAttribute(Bytes record, size_t firstAttribute) {
  DataAttribute data;
  size_t offset = firstAttribute;
  while (auto attribute = AttributeAt(record, offset)) {
    if (attribute->type == kAttrEnd) break;
    if (attribute->type == kAttrData) {
      const Bytes a = record.subspan(attribute->offset, attribute->length);
      if (LoadU8(a, 8) == 1) {
        data.initializedSize = LoadU64(a, 0x38);
        if (data.initializedSize != 0) {
          data.form = DataAttribute::Form::NonResident;
          data.realSize = LoadU64(a, 0x30);
          data.compressed = (LoadU16(a, 0x0C) & kAttributeCompressed) != 0;
          // The run list may not reach past its own attribute.
          DecodeDataRuns(a, LoadU16(a, 0x20), data.runs);
          return data;
        }
      } else {
        const uint32_t length = LoadU32(a, 0x10);
        if (length != 0) {
          const uint16_t valueOffset = LoadU16(a, 0x14);
          if (!Fits(a, valueOffset, length)) {
            data.form = DataAttribute::Form::Damaged;
          } else {
            data.form = DataAttribute::Form::Resident;
            data.resident = a.subspan(valueOffset, length);
          }
          return data;
        }
      }
    }
    offset += attribute->length;
  }
  return data;
}

// The file being written, addressed by position: bytes go to their offset in the file (the gap
// before them reads as zeros), bytes past the initialized size are written as zeros, and
// nothing past the real size is written.
class PlacedOutput {
 public:
  PlacedOutput(OutputFile& file, uint64_t realSize, uint64_t initializedSize)
      : file_(file), realSize_(realSize), initializedSize_(std::min(initializedSize, realSize)) {}

  // Returns false when a write failed.
  bool Put(uint64_t offset, Bytes bytes) {
    if (offset < position_) {
      // Only a damaged run list makes pieces overlap; what was written stays.
      const uint64_t overlap = position_ - offset;
      if (overlap >= bytes.size()) return ok_;
      bytes = bytes.subspan(static_cast<size_t>(overlap));
      offset = position_;
    }
    if (!PadTo(offset)) return false;
    const uint64_t room = realSize_ - position_;  // PadTo keeps position_ at most realSize_
    if (bytes.size() > room) bytes = bytes.first(static_cast<size_t>(room));
    const uint64_t valid =
        initializedSize_ > position_ ? std::min<uint64_t>(initializedSize_ - position_, bytes.size()) : 0;
    if (valid > 0 && !Emit(bytes.first(static_cast<size_t>(valid)))) return false;
    return Zeros(bytes.size() - valid);
  }

  // Fills the file with zeros up to offset (never past the real size). Returns false when a
  // write failed.
  bool PadTo(uint64_t offset) {
    const uint64_t target = std::min(offset, realSize_);
    return target > position_ ? Zeros(target - position_) : ok_;
  }

  bool Ok() const { return ok_; }

 private:
  bool Emit(Bytes bytes) {
    if (ok_ && !file_.Write(bytes)) ok_ = false;
    if (ok_) position_ += bytes.size();
    return ok_;
  }

  bool Zeros(uint64_t count) {
    static const std::array<uint8_t, 65536> kZeros{};
    while (count > 0 && ok_) {
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, kZeros.size()));
      Emit(Bytes(kZeros.data(), piece));
      count -= piece;
    }
    return ok_;
  }

  OutputFile& file_;
  uint64_t realSize_;
  uint64_t initializedSize_;
  uint64_t position_ = 0;
  bool ok_ = true;
};

int CopyExtents(EngineState& state, const DataAttribute& data, OutputFile& file) {
  const VolumeInfo& info = state.volumeInfo;
  const uint64_t sectorsPerCluster = info.ntfsSectorsPerCluster;
  const uint64_t clusterBytes = sectorsPerCluster * kSectorSize;
  const uint64_t unitBytes = kUnitClusters * clusterBytes;
  const uint64_t clusterCount = info.totalSectors / sectorsPerCluster;
  // Clusters from here on cannot reach the output: past the cluster (or, compressed, the unit)
  // that holds the last byte of the real size.
  const uint64_t usefulClusters = data.compressed
                                      ? (data.realSize / unitBytes + (data.realSize % unitBytes != 0)) * kUnitClusters
                                      : data.realSize / clusterBytes + (data.realSize % clusterBytes != 0);

  PlacedOutput output(file, data.realSize, data.initializedSize);
  std::vector<uint8_t> unit(static_cast<size_t>(unitBytes), 0);
  std::vector<uint8_t> expanded;
  size_t pending = 0;     // bytes of the unit collected so far
  uint64_t unitVcn = 0;   // file cluster of the unit's first collected cluster
  uint64_t vcn = 0;       // file cluster of the next extent
  uint64_t sinceCheck = 0;
  constexpr uint64_t kCheckEveryBytes = 1024 * 1024;

  // Writes the collected clusters as one unit: decompressed when the attribute is compressed,
  // a sparse extent ends the unit and its bytes read as LZNT1 chunks; as they are otherwise.
  auto flush = [&](bool endsInSparse) {
    if (pending == 0) return true;
    const Bytes collected(unit.data(), pending);
    bool ok = false;
    if (endsInSparse && data.compressed && IsCompressedUnit(collected)) {
      expanded.resize(static_cast<size_t>(unitBytes));
      const size_t produced = DecompressUnit(collected, expanded);
      ok = output.Put(unitVcn * clusterBytes, Bytes(expanded.data(), produced));
    } else {
      ok = output.Put(unitVcn * clusterBytes, collected);
    }
    std::fill(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(pending), uint8_t{0});
    pending = 0;
    return ok;
  };

  for (const NtfsRun& run : data.runs) {
    if (run.lcn == 0) {
      // A sparse extent: it ends a pending unit; on its own it stands for zeros of its length.
      if (!flush(true)) return 0;
      vcn += run.length;
      continue;
    }
    if (vcn >= usefulClusters) break;
    // An extent past the volume or a failed read ends the copy. Clusters already read stay,
    // unless they are part of a compressed unit that cannot be decoded without the rest.
    auto endEarly = [&]() {
      if (!data.compressed) (void)flush(false);
      return 0;
    };
    if (run.lcn >= clusterCount || run.length > clusterCount - run.lcn) return endEarly();
    uint64_t done = 0;
    while (done < run.length && vcn < usefulClusters) {
      // A long file asks KeepRunning once a MiB, so it can be paused and stopped.
      if (sinceCheck >= kCheckEveryBytes) {
        sinceCheck = 0;
        if (!state.KeepRunning()) return endEarly();
      }
      if (pending == unit.size() && !flush(false)) return 0;
      if (pending == 0) unitVcn = vcn;
      const uint64_t batch =
          std::min({uint64_t{run.length} - done, (unit.size() - pending) / clusterBytes, usefulClusters - vcn});
      const std::span<uint8_t> target(unit.data() + pending, static_cast<size_t>(batch * clusterBytes));
      if (!ReadSectors(state, (run.lcn + done) * sectorsPerCluster, target)) return endEarly();
      pending += target.size();
      sinceCheck += target.size();
      done += batch;
      vcn += batch;
    }
  }
  if (!flush(false)) return 0;
  if (!output.PadTo(vcn * clusterBytes)) return 0;
  return output.Ok() ? 1 : 0;
}

}  // namespace

int CopyNtfsData(EngineState& state, const ScanNode& node, OutputFile& file) {
  const VolumeInfo& info = state.volumeInfo;
  const size_t recordBytes = RecordBytes(info);
  if (recordBytes == 0 || info.ntfsSectorsPerCluster == 0) return 0;
  std::vector<uint8_t> record(recordBytes, 0);
  if (!ReadSectors(state, node.location, record)) return 0;
  const uint32_t firstAttribute = VerifyRecord(state, record);
  if (firstAttribute > kMaxFirstAttributeOffset) return 0;

  const DataAttribute data = FindDataAttribute(record, firstAttribute);
  switch (data.form) {
    case DataAttribute::Form::None: return 1;
    case DataAttribute::Form::Damaged: return 0;
    case DataAttribute::Form::Resident: return file.Write(data.resident) ? 1 : 0;
    case DataAttribute::Form::NonResident: return CopyExtents(state, data, file);
  }
  return 0;
}

}  // namespace restora
