// SPDX-License-Identifier: GPL-3.0-or-later
// Laying out synthetic NTFS volumes byte by byte.
#include "NtfsImageBuilder.h"

#include <filesystem>
#include <fstream>

#include <algorithm>
#include <stdexcept>

namespace restora::test {

namespace {

constexpr size_t kSector = 512;
constexpr uint16_t kUpdateSequenceOffset = 0x30;
constexpr uint16_t kSequenceValue = 0x0001;

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

void Put(std::vector<uint8_t>& b, size_t offset, uint64_t value, size_t width) {
  if (b.size() < offset + width) b.resize(offset + width, 0);
  for (size_t i = 0; i < width; ++i) b[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutName(std::vector<uint8_t>& b, size_t offset, std::u16string_view name) {
  for (size_t i = 0; i < name.size(); ++i) Put(b, offset + 2 * i, name[i], 2);
}

// A resident attribute: header, name, then the value at an 8-byte boundary.
std::vector<uint8_t> Resident(uint32_t type, std::u16string_view name, std::span<const uint8_t> value, bool indexed) {
  const size_t valueOffset = Align8(0x18 + 2 * name.size());
  std::vector<uint8_t> a(Align8(valueOffset + value.size()), 0);
  Put(a, 0x00, type, 4);
  Put(a, 0x04, a.size(), 4);
  Put(a, 0x09, name.size(), 1);
  Put(a, 0x0A, 0x18, 2);
  Put(a, 0x10, value.size(), 4);
  Put(a, 0x14, valueOffset, 2);
  Put(a, 0x16, indexed ? 1 : 0, 1);
  PutName(a, 0x18, name);
  std::copy(value.begin(), value.end(), a.begin() + static_cast<std::ptrdiff_t>(valueOffset));
  return a;
}

// Bytes needed for a signed value v.
size_t SignedWidth(int64_t v) {
  size_t width = 1;
  while (width < 8) {
    const int64_t low = -(int64_t{1} << (8 * width - 1));
    const int64_t high = (int64_t{1} << (8 * width - 1)) - 1;
    if (v >= low && v <= high) break;
    ++width;
  }
  return width;
}

size_t UnsignedWidth(uint64_t v) {
  size_t width = 1;
  while (width < 8 && (v >> (8 * width)) != 0) ++width;
  return width;
}

// A run list as NTFS stores it: relative offsets in the fewest bytes, ended by a 0 byte.
std::vector<uint8_t> EncodeRunList(const std::vector<BuilderRun>& runs) {
  std::vector<uint8_t> out;
  uint64_t previous = 0;
  for (const BuilderRun& run : runs) {
    const size_t lengthWidth = UnsignedWidth(run.clusters);
    size_t offsetWidth = 0;
    int64_t delta = 0;
    if (!run.sparse) {
      delta = static_cast<int64_t>(run.lcn - previous);
      offsetWidth = SignedWidth(delta);
      previous = run.lcn;
    }
    out.push_back(static_cast<uint8_t>(lengthWidth | (offsetWidth << 4)));
    for (size_t i = 0; i < lengthWidth; ++i) out.push_back(static_cast<uint8_t>(run.clusters >> (8 * i)));
    for (size_t i = 0; i < offsetWidth; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(delta) >> (8 * i)));
  }
  out.push_back(0);
  return out;
}

}  // namespace

size_t NtfsGeometry::RecordBytes() const {
  if (clustersPerRecord >= 0) return size_t(clustersPerRecord) * ClusterBytes();
  return size_t{1} << (-clustersPerRecord);
}

NtfsFileRecord& NtfsFileRecord::Flags(uint16_t flags) {
  flags_ = flags;
  return *this;
}

NtfsFileRecord& NtfsFileRecord::StandardInformation(uint64_t created, uint64_t modified, uint32_t fileAttributes) {
  std::vector<uint8_t> value(72, 0);
  Put(value, 0x00, created, 8);
  Put(value, 0x08, modified, 8);
  Put(value, 0x10, modified, 8);
  Put(value, 0x18, modified, 8);
  Put(value, 0x20, fileAttributes, 4);
  attributes_.push_back(Resident(0x10, u"", value, false));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::FileName(std::u16string_view name, uint64_t parentRecord, uint8_t nameSpace) {
  std::vector<uint8_t> value(0x42 + 2 * name.size(), 0);
  Put(value, 0x00, parentRecord | (uint64_t{1} << 48), 8);  // parent sequence number 1
  Put(value, 0x40, name.size(), 1);
  Put(value, 0x41, nameSpace, 1);
  PutName(value, 0x42, name);
  attributes_.push_back(Resident(0x30, u"", value, true));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::ResidentData(std::span<const uint8_t> bytes, std::u16string_view streamName) {
  attributes_.push_back(Resident(0x80, streamName, bytes, false));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::NonResident(const NonResidentAttribute& attribute) {
  const bool compressed = (attribute.flags & kAttributeCompressed) != 0;
  const size_t nameOffset = compressed ? 0x48 : 0x40;
  const std::vector<uint8_t> runs = EncodeRunList(attribute.runs);
  const size_t runsOffset = Align8(nameOffset + 2 * attribute.name.size());
  std::vector<uint8_t> a(Align8(runsOffset + runs.size()), 0);
  uint64_t clusters = 0;
  for (const BuilderRun& run : attribute.runs) clusters += run.clusters;
  Put(a, 0x00, attribute.type, 4);
  Put(a, 0x04, a.size(), 4);
  Put(a, 0x08, 1, 1);
  Put(a, 0x09, attribute.name.size(), 1);
  Put(a, 0x0A, nameOffset, 2);
  Put(a, 0x0C, attribute.flags, 2);
  Put(a, 0x10, 0, 8);                                  // first VCN
  Put(a, 0x18, clusters == 0 ? 0 : clusters - 1, 8);  // last VCN
  Put(a, 0x20, runsOffset, 2);
  Put(a, 0x22, attribute.compressionUnit, 1);
  Put(a, 0x28, attribute.allocatedSize.value_or(0), 8);
  Put(a, 0x30, attribute.realSize, 8);
  Put(a, 0x38, attribute.initializedSize.value_or(attribute.realSize), 8);
  if (compressed) Put(a, 0x40, attribute.allocatedSize.value_or(0), 8);
  PutName(a, nameOffset, attribute.name);
  std::copy(runs.begin(), runs.end(), a.begin() + static_cast<std::ptrdiff_t>(runsOffset));
  attributes_.push_back(std::move(a));
  return *this;
}

NtfsFileRecord& NtfsFileRecord::BaseRecord(uint64_t reference) {
  baseRecord_ = reference;
  return *this;
}

NtfsFileRecord& NtfsFileRecord::FirstAttributeOffset(uint16_t offset) {
  firstAttributeOffset_ = offset;
  return *this;
}

NtfsFileRecord& NtfsFileRecord::BreakUpdateSequence(unsigned sector) {
  brokenSectors_.push_back(sector);
  return *this;
}

std::vector<uint8_t> NtfsFileRecord::Encode(size_t recordBytes, uint32_t recordNumber) const {
  std::vector<uint8_t> r(recordBytes, 0);
  const size_t sectors = recordBytes / kSector;
  const size_t sequenceEntries = sectors + 1;
  const size_t first = firstAttributeOffset_.value_or(Align8(kUpdateSequenceOffset + 2 * sequenceEntries));
  std::vector<uint8_t> header;
  Put(header, 0x00, 0x454C4946, 4);  // "FILE"
  Put(header, 0x04, kUpdateSequenceOffset, 2);
  Put(header, 0x06, sequenceEntries, 2);
  Put(header, 0x10, 1, 2);  // sequence number
  Put(header, 0x12, 1, 2);  // link count
  Put(header, 0x14, first, 2);
  Put(header, 0x16, flags_, 2);
  Put(header, 0x1C, recordBytes, 4);
  Put(header, 0x20, baseRecord_, 8);
  Put(header, 0x28, attributes_.size(), 2);
  Put(header, 0x2C, recordNumber, 4);
  std::copy(header.begin(), header.end(), r.begin());

  size_t offset = first;
  for (const std::vector<uint8_t>& attribute : attributes_) {
    if (offset + attribute.size() > recordBytes) throw std::length_error("attributes do not fit the record");
    std::copy(attribute.begin(), attribute.end(), r.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += attribute.size();
  }
  if (offset + 8 > recordBytes - 2) throw std::length_error("no room for the end marker");
  Put(r, offset, 0xFFFFFFFF, 4);
  offset += 8;
  Put(r, 0x18, offset, 4);  // bytes in use

  // The update sequence: each sector's last two bytes move into the array, the sequence value
  // takes their place.
  Put(r, kUpdateSequenceOffset, kSequenceValue, 2);
  for (size_t i = 0; i < sectors; ++i) {
    const size_t tail = i * kSector + kSector - 2;
    Put(r, kUpdateSequenceOffset + 2 + 2 * i, r[tail] | (r[tail + 1] << 8), 2);
    Put(r, tail, kSequenceValue, 2);
  }
  for (unsigned sector : brokenSectors_) {
    if (sector < sectors) r[sector * kSector + kSector - 2] ^= 0xFF;
  }
  return r;
}

NtfsImageBuilder::NtfsImageBuilder(NtfsGeometry geometry) : geometry_(geometry) {
  const uint64_t tableBytes = geometry_.mftRecords * geometry_.RecordBytes();
  const uint64_t clusters = (tableBytes + geometry_.ClusterBytes() - 1) / geometry_.ClusterBytes();
  mftExtents_ = {BuilderRun{clusters, geometry_.mftCluster, false}};
  nextFreeCluster_ = geometry_.mftCluster + clusters;
}

void NtfsImageBuilder::SetMftExtents(std::vector<BuilderRun> extents) {
  mftExtents_ = std::move(extents);
  for (const BuilderRun& run : mftExtents_) {
    if (!run.sparse) nextFreeCluster_ = std::max(nextFreeCluster_, run.lcn + run.clusters);
  }
}

NtfsFileRecord& NtfsImageBuilder::Record(uint64_t number) { return records_[number]; }

NtfsFileRecord& NtfsImageBuilder::AddFolder(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags) {
  NtfsFileRecord& file = records_[number] = NtfsFileRecord{};
  return file.Flags(flags).StandardInformation(0x01D0000000000000 + number, 0x01D0000000001000 + number, 0x10)
      .FileName(name, parent);
}

NtfsFileRecord& NtfsImageBuilder::AddFile(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags) {
  NtfsFileRecord& file = records_[number] = NtfsFileRecord{};
  return file.Flags(flags).StandardInformation(0x01D0000000000000 + number, 0x01D0000000001000 + number, 0x20)
      .FileName(name, parent);
}

uint64_t NtfsImageBuilder::AllocateClusters(uint64_t count) {
  const uint64_t lcn = nextFreeCluster_;
  nextFreeCluster_ += count;
  return lcn;
}

void NtfsImageBuilder::WriteClusters(uint64_t lcn, std::span<const uint8_t> bytes) {
  clusters_[lcn] = std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<BuilderRun> NtfsImageBuilder::StoreData(std::span<const uint8_t> bytes, size_t fragments) {
  const uint64_t clusterBytes = geometry_.ClusterBytes();
  const uint64_t clusters = (bytes.size() + clusterBytes - 1) / clusterBytes;
  fragments = static_cast<size_t>(std::clamp<uint64_t>(fragments, 1, std::max<uint64_t>(clusters, 1)));
  std::vector<BuilderRun> runs;
  uint64_t done = 0;
  for (size_t i = 0; i < fragments; ++i) {
    const uint64_t piece = clusters / fragments + (i < clusters % fragments ? 1 : 0);
    if (piece == 0) continue;
    const uint64_t lcn = AllocateClusters(piece);
    AllocateClusters(1);  // a gap, so the pieces are not contiguous
    const size_t from = static_cast<size_t>(done * clusterBytes);
    const size_t to = static_cast<size_t>(std::min<uint64_t>(bytes.size(), (done + piece) * clusterBytes));
    WriteClusters(lcn, bytes.subspan(from, to - from));
    runs.push_back(BuilderRun{piece, lcn, false});
    done += piece;
  }
  return runs;
}

NonResidentAttribute NtfsImageBuilder::DataStream(std::span<const uint8_t> bytes, size_t fragments,
                                                  std::u16string_view streamName) {
  NonResidentAttribute attribute;
  attribute.name = streamName;
  attribute.runs = StoreData(bytes, fragments);
  attribute.realSize = bytes.size();
  uint64_t clusters = 0;
  for (const BuilderRun& run : attribute.runs) clusters += run.clusters;
  attribute.allocatedSize = clusters * geometry_.ClusterBytes();
  return attribute;
}

std::vector<uint8_t> NtfsImageBuilder::BootSector() const {
  std::vector<uint8_t> b(kSector, 0);
  b[0] = 0xEB;
  b[1] = 0x52;
  b[2] = 0x90;
  const char oem[] = "NTFS    ";
  std::copy(oem, oem + 8, b.begin() + 3);
  Put(b, 0x0B, kSector, 2);
  Put(b, 0x0D, geometry_.sectorsPerCluster, 1);
  Put(b, 0x15, 0xF8, 1);
  Put(b, 0x18, 63, 2);
  Put(b, 0x1A, 255, 2);
  Put(b, 0x24, 0x00800080, 4);
  Put(b, 0x28, geometry_.totalSectors - 1, 8);
  Put(b, 0x30, geometry_.mftCluster, 8);
  Put(b, 0x38, geometry_.mftMirrorCluster, 8);
  Put(b, 0x40, static_cast<uint8_t>(geometry_.clustersPerRecord), 1);
  Put(b, 0x44, 1, 1);
  Put(b, 0x48, 0x1234567890ABCDEFull, 8);
  Put(b, 0x1FE, 0xAA55, 2);
  return b;
}

std::vector<std::pair<uint64_t, size_t>> NtfsImageBuilder::RecordPieces(uint64_t number) const {
  const uint64_t recordBytes = geometry_.RecordBytes();
  std::vector<std::pair<uint64_t, size_t>> pieces;
  uint64_t position = number * recordBytes;
  uint64_t wanted = recordBytes;
  for (const BuilderRun& run : mftExtents_) {
    const uint64_t bytes = run.clusters * geometry_.ClusterBytes();
    if (position >= bytes) {
      position -= bytes;
      continue;
    }
    if (run.sparse) return {};
    const uint64_t piece = std::min(wanted, bytes - position);
    pieces.emplace_back(run.lcn * geometry_.ClusterBytes() + position, static_cast<size_t>(piece));
    wanted -= piece;
    position = 0;
    if (wanted == 0) return pieces;
  }
  return {};
}

std::optional<uint64_t> NtfsImageBuilder::RecordOffset(uint64_t number) const {
  const auto pieces = RecordPieces(number);
  if (pieces.empty()) return std::nullopt;
  return pieces.front().first;
}

NtfsFileRecord NtfsImageBuilder::TableRecord() const {
  uint64_t clusters = 0;
  for (const BuilderRun& run : mftExtents_) clusters += run.clusters;
  NonResidentAttribute data;
  data.runs = mftExtents_;
  data.realSize = clusters * geometry_.ClusterBytes();
  data.allocatedSize = data.realSize;
  NtfsFileRecord file;
  file.Flags(kRecordInUse).StandardInformation(0x01D0000000000000, 0x01D0000000000000, 0x06).FileName(u"$MFT", 5, 3)
      .NonResident(data);
  return file;
}

template <typename Place>
void NtfsImageBuilder::Lay(Place place) const {
  const size_t recordBytes = geometry_.RecordBytes();
  place(0, BootSector());
  for (const auto& [lcn, bytes] : clusters_) place(lcn * geometry_.ClusterBytes(), bytes);
  std::map<uint64_t, NtfsFileRecord> records = records_;
  if (!records.count(0)) records[0] = TableRecord();
  if (!records.count(5)) {
    records[5].Flags(kRecordInUse | kRecordFolder).StandardInformation(0x01D0000000000000, 0x01D0000000000000, 0x16)
        .FileName(u".", 5, 3);
  }
  for (const auto& [number, file] : records) {
    const auto pieces = RecordPieces(number);
    if (pieces.empty()) throw std::out_of_range("record lies outside the table's extents");
    const std::vector<uint8_t> bytes = file.Encode(recordBytes, static_cast<uint32_t>(number));
    size_t done = 0;
    for (const auto& [offset, length] : pieces) {
      place(offset, std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(done),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(done + length)));
      done += length;
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
  if (!out) return false;
  // The file gets the volume's length; everything unwritten stays a hole.
  std::error_code error;
  std::filesystem::resize_file(path, geometry_.totalSectors * kSector, error);
  return !error;
}

}  // namespace restora::test
