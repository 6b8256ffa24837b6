// SPDX-License-Identifier: GPL-3.0-or-later
// Laying out synthetic NTFS volumes byte by byte.
#include "NtfsImageBuilder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace restora::test {

namespace {

constexpr size_t kSector = 512;
constexpr uint16_t kUpdateSequenceOffset = 0x30;

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

void Put(std::vector<uint8_t>& b, size_t offset, uint64_t value, size_t width) {
  if (b.size() < offset + width) b.resize(offset + width, 0);
  for (size_t i = 0; i < width; ++i) b[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutName(std::vector<uint8_t>& b, size_t offset, std::u16string_view name) {
  for (size_t i = 0; i < name.size(); ++i) Put(b, offset + 2 * i, name[i], 2);
}

// An attribute header of `size` bytes (8-aligned) with its name at nameOffset.
std::vector<uint8_t> Header(uint32_t type, size_t size, std::u16string_view name, size_t nameOffset, bool nonResident) {
  std::vector<uint8_t> a(Align8(size), 0);
  Put(a, 0x00, type, 4), Put(a, 0x04, a.size(), 4), Put(a, 0x08, nonResident, 1), Put(a, 0x09, name.size(), 1);
  Put(a, 0x0A, nameOffset, 2);
  PutName(a, nameOffset, name);
  return a;
}

// A resident attribute: header, name, then the value at an 8-byte boundary.
std::vector<uint8_t> Resident(uint32_t type, std::u16string_view name, std::span<const uint8_t> value) {
  const size_t valueOffset = Align8(0x18 + 2 * name.size());
  std::vector<uint8_t> a = Header(type, valueOffset + value.size(), name, 0x18, false);
  Put(a, 0x10, value.size(), 4), Put(a, 0x14, valueOffset, 2), Put(a, 0x16, type == 0x30, 1);
  std::copy(value.begin(), value.end(), a.begin() + static_cast<std::ptrdiff_t>(valueOffset));
  return a;
}

// A run list as NTFS stores it: relative offsets in the fewest bytes, ended by a 0 byte.
std::vector<uint8_t> EncodeRunList(const std::vector<BuilderRun>& runs) {
  std::vector<uint8_t> out;
  uint64_t previous = 0;
  for (const BuilderRun& run : runs) {
    size_t lengthWidth = 1, offsetWidth = 0;
    while (lengthWidth < 8 && (run.clusters >> (8 * lengthWidth)) != 0) ++lengthWidth;
    const int64_t delta = run.sparse ? 0 : static_cast<int64_t>(run.lcn - previous);
    if (!run.sparse) {
      offsetWidth = 1;  // the fewest bytes that hold delta with its sign
      while (offsetWidth < 8 && (delta < -(int64_t{1} << (8 * offsetWidth - 1)) || delta >= (int64_t{1} << (8 * offsetWidth - 1)))) {
        ++offsetWidth;
      }
      previous = run.lcn;
    }
    out.push_back(static_cast<uint8_t>(lengthWidth | (offsetWidth << 4)));
    for (size_t i = 0; i < lengthWidth; ++i) out.push_back(static_cast<uint8_t>(run.clusters >> (8 * i)));
    for (size_t i = 0; i < offsetWidth; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(delta) >> (8 * i)));
  }
  out.push_back(0);
  return out;
}

// Where byte `position` of the table lies in the image; none in a sparse extent or past the table.
std::optional<uint64_t> TableOffset(const std::vector<BuilderRun>& extents, uint64_t clusterBytes, uint64_t position) {
  for (const BuilderRun& run : extents) {
    if (position < run.clusters * clusterBytes) return run.sparse ? std::nullopt : std::optional(run.lcn * clusterBytes + position);
    position -= run.clusters * clusterBytes;
  }
  return std::nullopt;
}

}  // namespace

NtfsFileRecord& NtfsFileRecord::StandardInformation(uint64_t created, uint64_t modified, uint32_t fileAttributes) {
  std::vector<uint8_t> value(72, 0);
  Put(value, 0x00, created, 8);
  for (size_t at : {0x08, 0x10, 0x18}) Put(value, at, modified, 8);
  Put(value, 0x20, fileAttributes, 4);
  attributes_.push_back(Resident(0x10, u"", value));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::FileName(std::u16string_view name, uint64_t parentRecord, uint8_t nameSpace) {
  std::vector<uint8_t> value(0x42 + 2 * name.size(), 0);
  Put(value, 0x00, parentRecord | (uint64_t{1} << 48), 8);  // parent sequence number 1
  Put(value, 0x40, name.size(), 1), Put(value, 0x41, nameSpace, 1);
  PutName(value, 0x42, name);
  attributes_.push_back(Resident(0x30, u"", value));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::ResidentData(std::span<const uint8_t> bytes, std::u16string_view streamName) {
  attributes_.push_back(Resident(0x80, streamName, bytes));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::NonResident(const NonResidentAttribute& attribute) {
  const std::vector<uint8_t> runs = EncodeRunList(attribute.runs);
  const size_t runsOffset = Align8(0x40 + 2 * attribute.name.size());
  std::vector<uint8_t> a = Header(0x80, runsOffset + runs.size(), attribute.name, 0x40, true);
  uint64_t clusters = 0;
  for (const BuilderRun& run : attribute.runs) clusters += run.clusters;
  Put(a, 0x0C, attribute.flags, 2), Put(a, 0x18, clusters == 0 ? 0 : clusters - 1, 8), Put(a, 0x20, runsOffset, 2);
  Put(a, 0x30, attribute.realSize, 8);  // the allocated size (0x28) is not read
  Put(a, 0x38, attribute.initializedSize.value_or(attribute.realSize), 8);
  std::copy(runs.begin(), runs.end(), a.begin() + static_cast<std::ptrdiff_t>(runsOffset));
  attributes_.push_back(std::move(a));
  return *this;
}

std::vector<uint8_t> NtfsFileRecord::Encode(size_t recordBytes, uint32_t recordNumber) const {
  std::vector<uint8_t> r(recordBytes, 0);
  const size_t sectors = recordBytes / kSector;
  const size_t first = firstAttributeOffset_.value_or(Align8(kUpdateSequenceOffset + 2 * (sectors + 1)));
  Put(r, 0x00, 0x454C4946, 4);  // "FILE"
  Put(r, 0x04, kUpdateSequenceOffset, 2), Put(r, 0x06, sectors + 1, 2);
  Put(r, 0x10, 1, 2), Put(r, 0x12, 1, 2);  // sequence number, link count
  Put(r, 0x14, first, 2), Put(r, 0x16, flags_, 2), Put(r, 0x1C, recordBytes, 4), Put(r, 0x20, baseRecord_, 8);
  Put(r, 0x28, attributes_.size(), 2), Put(r, 0x2C, recordNumber, 4);
  size_t offset = first;
  for (const std::vector<uint8_t>& attribute : attributes_) {
    if (offset + attribute.size() + 8 > recordBytes - 2) throw std::length_error("attributes do not fit the record");
    std::copy(attribute.begin(), attribute.end(), r.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += attribute.size();
  }
  Put(r, offset, 0xFFFFFFFF, 4);
  Put(r, 0x18, offset + 8, 4);  // bytes in use
  // The update sequence: each sector's last two bytes move into the array, the value 1 takes
  // their place.
  Put(r, kUpdateSequenceOffset, 1, 2);
  for (size_t i = 0; i < sectors; ++i) {
    const size_t tail = i * kSector + kSector - 2;
    Put(r, kUpdateSequenceOffset + 2 + 2 * i, r[tail] | (r[tail + 1] << 8), 2);
    Put(r, tail, 1, 2);
  }
  for (unsigned sector : brokenSectors_) {
    if (sector < sectors) r[sector * kSector + kSector - 2] ^= 0xFF;
  }
  return r;
}

NtfsImageBuilder::NtfsImageBuilder(NtfsGeometry geometry) : geometry_(geometry) {
  const uint64_t clusters = (geometry_.mftRecords * geometry_.RecordBytes() + geometry_.ClusterBytes() - 1) / geometry_.ClusterBytes();
  SetMftExtents({BuilderRun{clusters, geometry_.mftCluster, false}});
}

void NtfsImageBuilder::SetMftExtents(std::vector<BuilderRun> extents) {
  mftExtents_ = std::move(extents);
  for (const BuilderRun& run : mftExtents_) {
    if (!run.sparse) nextFreeCluster_ = std::max(nextFreeCluster_, run.lcn + run.clusters);
  }
}

NtfsFileRecord& NtfsImageBuilder::Add(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags,
                                      uint32_t attributes) {
  return (records_[number] = NtfsFileRecord{}).Flags(flags)
      .StandardInformation(0x01D0000000000000 + number, 0x01D0000000001000 + number, attributes).FileName(name, parent);
}

void NtfsImageBuilder::WriteClusters(uint64_t lcn, std::span<const uint8_t> bytes) {
  clusters_[lcn] = std::vector<uint8_t>(bytes.begin(), bytes.end());
}

NonResidentAttribute NtfsImageBuilder::DataStream(std::span<const uint8_t> bytes, size_t fragments,
                                                  std::u16string_view streamName) {
  NonResidentAttribute attribute{std::u16string(streamName), {}, bytes.size(), std::nullopt, 0};
  const uint64_t clusterBytes = geometry_.ClusterBytes();
  const uint64_t clusters = (bytes.size() + clusterBytes - 1) / clusterBytes;
  fragments = static_cast<size_t>(std::clamp<uint64_t>(fragments, 1, std::max<uint64_t>(clusters, 1)));
  uint64_t done = 0;
  for (size_t i = 0; i < fragments; ++i) {
    const uint64_t piece = clusters / fragments + (i < clusters % fragments ? 1 : 0);
    if (piece == 0) continue;
    const size_t from = static_cast<size_t>(done * clusterBytes);
    WriteClusters(nextFreeCluster_, bytes.subspan(from, std::min<size_t>(bytes.size() - from, piece * clusterBytes)));
    attribute.runs.push_back(BuilderRun{piece, nextFreeCluster_, false});
    nextFreeCluster_ += piece + 1;  // a gap, so the pieces are not contiguous
    done += piece;
  }
  return attribute;
}

std::vector<uint8_t> NtfsImageBuilder::BootSector() const {
  std::vector<uint8_t> b(kSector, 0);
  const std::pair<size_t, uint64_t> bytes[] = {{0, 0xEB}, {1, 0x52}, {2, 0x90}, {0x0D, geometry_.sectorsPerCluster},
                                               {0x15, 0xF8}, {0x40, static_cast<uint8_t>(geometry_.clustersPerRecord)},
                                               {0x44, 1}, {0x1FE, 0x55}, {0x1FF, 0xAA}};
  for (const auto& [at, value] : bytes) b[at] = static_cast<uint8_t>(value);
  std::copy_n("NTFS    ", 8, b.begin() + 3);
  Put(b, 0x0B, kSector, 2), Put(b, 0x18, 63, 2), Put(b, 0x1A, 255, 2), Put(b, 0x24, 0x00800080, 4);
  Put(b, 0x28, geometry_.totalSectors - 1, 8), Put(b, 0x30, geometry_.mftCluster, 8);
  Put(b, 0x38, geometry_.mftMirrorCluster, 8), Put(b, 0x48, 0x1234567890ABCDEFull, 8);
  return b;
}

std::optional<uint64_t> NtfsImageBuilder::RecordOffset(uint64_t number) const {
  return TableOffset(mftExtents_, geometry_.ClusterBytes(), number * geometry_.RecordBytes());
}

template <typename Place>
void NtfsImageBuilder::Lay(Place place) const {
  place(0, BootSector());
  for (const auto& [lcn, bytes] : clusters_) place(lcn * geometry_.ClusterBytes(), bytes);
  std::map<uint64_t, NtfsFileRecord> records = records_;
  if (!records.count(0)) {  // the table: its own run list
    uint64_t clusters = 0;
    for (const BuilderRun& run : mftExtents_) clusters += run.clusters;
    records[0].StandardInformation(0x01D0000000000000, 0x01D0000000000000, 0x06).FileName(u"$MFT", 5, 3)
        .NonResident(NonResidentAttribute{u"", mftExtents_, clusters * geometry_.ClusterBytes(), std::nullopt, 0});
  }
  if (!records.count(5)) {
    records[5].Flags(kRecordInUse | kRecordFolder).StandardInformation(0x01D0000000000000, 0x01D0000000000000, 0x16)
        .FileName(u".", 5, 3);
  }
  const size_t recordBytes = geometry_.RecordBytes();
  for (const auto& [number, file] : records) {
    const std::vector<uint8_t> bytes = file.Encode(recordBytes, static_cast<uint32_t>(number));
    for (size_t done = 0; done < recordBytes; done += kSector) {  // sector by sector, as the extents say
      const auto at = TableOffset(mftExtents_, geometry_.ClusterBytes(), number * recordBytes + done);
      if (!at) throw std::out_of_range("record lies outside the table's extents");
      place(*at, std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(done),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(std::min(done + kSector, recordBytes))));
    }
    if (number == 0) place(geometry_.mftMirrorCluster * geometry_.ClusterBytes(), bytes);
  }
}

std::vector<uint8_t> NtfsImageBuilder::Build() const {
  std::vector<uint8_t> image(static_cast<size_t>(geometry_.totalSectors * kSector), 0);
  Lay([&image](uint64_t offset, const std::vector<uint8_t>& bytes) {
    if (offset + bytes.size() > image.size()) throw std::out_of_range("data lies past the volume's end");
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
  });
  return image;
}

bool NtfsImageBuilder::WriteImageFile(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  Lay([&out](uint64_t offset, const std::vector<uint8_t>& bytes) {
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  });
  out.close();
  std::error_code error;  // the file gets the volume's length; everything unwritten stays a hole
  std::filesystem::resize_file(path, geometry_.totalSectors * kSector, error);
  return out && !error;
}

}  // namespace restora::test
