// SPDX-License-Identifier: GPL-3.0-or-later
// A byte-level builder of small NTFS volumes for tests: boot sector, a master file table with its
// own run list (and mirror), file records with update sequences applied, and the attributes the
// engine reads, including non-resident data with run lists. Records can be damaged on purpose.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace restora::test {

// One extent of a non-resident attribute: clusters at lcn, or a sparse (unallocated) extent.
struct BuilderRun {
  uint64_t clusters = 0;
  uint64_t lcn = 0;
  bool sparse = false;
};

struct NtfsGeometry {
  uint8_t sectorsPerCluster = 8;
  int8_t clustersPerRecord = -10;  // boot-sector byte 0x40; negative: 2^-v bytes per record
  uint64_t totalSectors = 8192;    // 4 MiB
  uint64_t mftCluster = 16;
  uint64_t mftMirrorCluster = 8;
  uint64_t mftRecords = 64;        // the default table extent is sized for this many records

  size_t RecordBytes() const { return clustersPerRecord >= 0 ? clustersPerRecord * ClusterBytes() : size_t{1} << -clustersPerRecord; }
  uint64_t ClusterBytes() const { return uint64_t{sectorsPerCluster} * 512; }
};

// File-record flags (the low byte is what the scan reads).
constexpr uint16_t kRecordInUse = 0x01;
constexpr uint16_t kRecordFolder = 0x02;
constexpr uint16_t kAttributeSparse = 0x8000;  // flag of a non-resident attribute

// An unnamed or named non-resident data attribute.
struct NonResidentAttribute {
  std::u16string name;
  std::vector<BuilderRun> runs;
  uint64_t realSize = 0;
  std::optional<uint64_t> initializedSize;  // default: realSize
  uint16_t flags = 0;
};

// One file record under construction. Attributes are laid out in the order they are added.
class NtfsFileRecord {
 public:
  NtfsFileRecord& Flags(uint16_t flags) { return flags_ = flags, *this; }
  NtfsFileRecord& StandardInformation(uint64_t created, uint64_t modified, uint32_t fileAttributes);
  // nameSpace: 0 POSIX, 1 Win32, 2 DOS (8.3), 3 Win32 and DOS.
  NtfsFileRecord& FileName(std::u16string_view name, uint64_t parentRecord, uint8_t nameSpace = 1);
  NtfsFileRecord& ResidentData(std::span<const uint8_t> bytes, std::u16string_view streamName = u"");
  NtfsFileRecord& NonResident(const NonResidentAttribute& attribute);
  NtfsFileRecord& BaseRecord(uint64_t reference) { return baseRecord_ = reference, *this; }
  // Default: right after the update sequence.
  NtfsFileRecord& FirstAttributeOffset(uint16_t offset) { return firstAttributeOffset_ = offset, *this; }
  // After the update sequence is applied, the tail of this sector no longer matches it.
  NtfsFileRecord& BreakUpdateSequence(unsigned sector) { return brokenSectors_.push_back(sector), *this; }

  // The record's bytes, update sequence applied. Throws std::length_error when the attributes
  // do not fit recordBytes.
  std::vector<uint8_t> Encode(size_t recordBytes, uint32_t recordNumber) const;

 private:
  uint16_t flags_ = kRecordInUse;
  uint64_t baseRecord_ = 0;
  std::optional<uint16_t> firstAttributeOffset_;
  std::vector<unsigned> brokenSectors_;
  std::vector<std::vector<uint8_t>> attributes_;
};

class NtfsImageBuilder {
 public:
  explicit NtfsImageBuilder(NtfsGeometry geometry = {});

  // Where the table lies (record 0's run list); default one extent at mftCluster for mftRecords.
  void SetMftExtents(std::vector<BuilderRun> extents);

  // Record n under construction, created empty (flags: in use) on first use. Record 0 (the table)
  // and record 5 (the root folder) are generated unless asked for here.
  NtfsFileRecord& Record(uint64_t number) { return records_[number]; }

  // Shorthands: a folder or a file with standard information and one Win32 name.
  NtfsFileRecord& AddFolder(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags) {
    return Add(number, name, parent, flags, 0x10);
  }
  NtfsFileRecord& AddFile(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags) {
    return Add(number, name, parent, flags, 0x20);
  }

  // Bytes stored at a cluster (any length; the rest of the last cluster stays zero).
  void WriteClusters(uint64_t lcn, std::span<const uint8_t> bytes);
  // Stores bytes after the table in `fragments` pieces with a gap of one cluster between them,
  // described as a non-resident data attribute for NonResident().
  NonResidentAttribute DataStream(std::span<const uint8_t> bytes, size_t fragments = 1,
                                  std::u16string_view streamName = u"");

  std::vector<uint8_t> BootSector() const;
  // Byte position where record n starts in the image, through the table's extents.
  std::optional<uint64_t> RecordOffset(uint64_t number) const;

  std::vector<uint8_t> Build() const;
  // The volume as a sparse image file of its full length (the benchmarks' large volumes).
  bool WriteImageFile(const std::string& path) const;
  const NtfsGeometry& Geometry() const { return geometry_; }

 private:
  NtfsFileRecord& Add(uint64_t number, std::u16string_view name, uint64_t parent, uint16_t flags, uint32_t attributes);
  // Calls place(offset, bytes) for everything the image holds.
  template <typename Place>
  void Lay(Place place) const;

  NtfsGeometry geometry_;
  std::vector<BuilderRun> mftExtents_;
  std::map<uint64_t, NtfsFileRecord> records_;
  std::map<uint64_t, std::vector<uint8_t>> clusters_;
  uint64_t nextFreeCluster_ = 0;
};

}  // namespace restora::test
