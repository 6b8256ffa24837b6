// SPDX-License-Identifier: GPL-3.0-or-later
// Examining and opening the partitions of a whole disk.
#include "DiskPartitions.h"

#include <algorithm>

#include "PartitionScan.h"
#include "PosixSourceReader.h"
#include "ScanDriver.h"
#include "SourceWindow.h"
#include "TextCodec.h"
#include "VolumeAccess.h"

namespace restora {

namespace {

bool Overlap(const PartitionEntry& a, const PartitionEntry& b) {
  return a.startSector < b.startSector + b.sectorCount && b.startSector < a.startSector + a.sectorCount;
}

// What the entry's first sectors hold, as the engine recognises them.
void Recognize(PosixSourceReader& disk, PartitionReport& report) {
  EngineState probe;
  const PartitionEntry& entry = report.entry;
  const int opened = OpenSource(probe, OpenMode::Image,
                                std::make_unique<SourceWindow>(disk, entry.startSector * kSectorSize,
                                                               entry.sectorCount * kSectorSize));
  if (opened) {
    report.kind = probe.volumeInfo.kind;
    report.usable = true;
  } else if (!probe.refusal.empty()) {
    report.note = probe.refusal;  // a FAT or NTFS boot sector whose values describe no volume
  } else if (probe.volumeInfo.kind == SourceKind::Ntfs) {
    report.note = "NTFS volume without a readable master file table";
  } else {
    const std::string found = ProbeFileSystemName(disk.CopyHandle(), entry.startSector, entry.sectorCount);
    report.note = "no FAT16, FAT32 or NTFS volume (" + (found.empty() ? std::string("nothing known") : found) + ")";
  }
  CleanUp(probe);
}

std::string ListedNumbers(const std::vector<PartitionReport>& reports) {
  std::string numbers;
  for (const PartitionReport& report : reports) {
    numbers += (numbers.empty() ? "" : ", ") + std::to_string(report.entry.number);
  }
  return numbers.empty() ? "none" : numbers;
}

}  // namespace

std::string PartitionReport::NoteLine() const {
  return "partition " + std::to_string(entry.number) + " (sectors " + std::to_string(entry.startSector) + ".." +
         std::to_string(entry.startSector + entry.sectorCount - (entry.sectorCount > 0 ? 1 : 0)) + ")" +
         (usable ? ": " : " skipped: ") + note;
}

int ExamineDiskPartitions(const std::string& path, std::vector<PartitionReport>* reports, std::string* scheme,
                          std::string* error) {
  reports->clear();
  scheme->clear();
  std::unique_ptr<PosixSourceReader> disk = PosixSourceReader::Open(path, error);
  if (!disk) return 0;
  PartitionTable table;
  if (!ReadPartitionTable(disk->CopyHandle(), &table, error)) return 0;
  *scheme = table.scheme;
  const uint64_t diskSectors = disk->SizeBytes() / kSectorSize;
  for (const PartitionEntry& entry : table.entries) {
    PartitionReport report;
    report.entry = entry;
    if (entry.extended) {
      report.note = "extended partition (holds the logical ones)";
    } else if (entry.sectorCount == 0) {
      report.note = "empty entry";
    } else if (entry.startSector >= diskSectors) {
      report.note = "starts past the end of the disk (it has " + std::to_string(diskSectors) + " sectors)";
    } else {
      Recognize(*disk, report);
      // An image cut short (a failing disk copied in part) still holds the partition's start:
      // what it holds is scanned, and what is missing reads as zeros.
      if (report.usable && entry.sectorCount > diskSectors - entry.startSector) {
        report.note = "extends past the end of the disk; its last " +
                      std::to_string(entry.sectorCount - (diskSectors - entry.startSector)) + " sectors read as zeros";
      }
    }
    reports->push_back(std::move(report));
  }
  // Of two overlapping entries one is damaged: the one with a volume stays, between equals the
  // first listed. Extended partitions overlap their logical ones by design and take no part.
  const auto inPlay = [](const PartitionReport& r) { return !r.entry.extended && r.entry.sectorCount > 0; };
  std::vector<std::string> overlapNotes(reports->size());
  for (size_t i = 0; i < reports->size(); ++i) {
    const PartitionReport& mine = (*reports)[i];
    if (!inPlay(mine)) continue;
    for (size_t j = 0; j < reports->size(); ++j) {
      const PartitionReport& other = (*reports)[j];
      if (i == j || !inPlay(other) || !Overlap(mine.entry, other.entry)) continue;
      if (other.usable > mine.usable || (other.usable == mine.usable && j < i)) {
        overlapNotes[i] = "overlaps partition " + std::to_string(other.entry.number);
        break;
      }
    }
  }
  for (size_t i = 0; i < reports->size(); ++i) {
    if (overlapNotes[i].empty()) continue;
    (*reports)[i].usable = false;
    (*reports)[i].note = overlapNotes[i];
  }
  return 1;
}

int OpenDiskPartitions(EngineState& state, const std::string& path,
                       const std::function<bool(const PartitionEntry&)>& only,
                       std::vector<PartitionReport>* reports, std::string* error) {
  std::string scheme;
  if (!ExamineDiskPartitions(path, reports, &scheme, error)) return 0;
  if (scheme.empty()) {
    *error = "no partition table in " + path;
    return 0;
  }
  std::unique_ptr<PosixSourceReader> disk = PosixSourceReader::Open(path, error);
  if (!disk) return 0;
  const std::u16string devicePath = disk->IsBlockDevice() ? Utf8ToUtf16(path) : std::u16string();
  if (only) {
    const auto chosen = std::find_if(reports->begin(), reports->end(),
                                     [&](const PartitionReport& r) { return only(r.entry); });
    if (chosen == reports->end()) {
      *error = "no such partition in the table of " + path + " (it lists " + ListedNumbers(*reports) + ")";
      return 0;
    }
    if (!chosen->usable) {
      *error = chosen->NoteLine();
      return 0;
    }
    const PartitionEntry& entry = chosen->entry;
    auto window = std::make_unique<SourceWindow>(std::move(disk), entry.startSector * kSectorSize,
                                                 entry.sectorCount * kSectorSize);
    if (!OpenSource(state, OpenMode::Image, std::move(window))) {
      *error = "partition " + std::to_string(entry.number) + " of " + path + " cannot be opened";
      return 0;
    }
    state.volumeInfo.startSector = entry.startSector;
    state.volumePath = devicePath;
    return 1;
  }
  if (!OpenSource(state, OpenMode::PhysicalDisk, std::move(disk), devicePath)) {
    *error = "cannot tell the size of " + path;
    return 0;
  }
  for (const PartitionReport& report : *reports) {
    if (!report.usable) continue;
    PartitionVolume partition;
    partition.number = report.entry.number;
    partition.startSector = report.entry.startSector;
    partition.sectorCount = report.entry.sectorCount;
    auto window = std::make_unique<SourceWindow>(*state.deviceHandle, partition.startSector * kSectorSize,
                                                 partition.sectorCount * kSectorSize);
    if (OpenPartition(state, partition, std::move(window))) state.partitions.push_back(std::move(partition));
  }
  if (state.partitions.empty()) {
    *error = "no FAT16, FAT32 or NTFS partition in the " + scheme + " partition table of " + path;
    return 0;
  }
  return 1;
}

int ReopenPartitions(EngineState& state, const std::function<bool(const VolumeInfo&, const VolumeInfo&)>& sameVolume,
                     std::string* error) {
  if (!state.deviceHandle) return 0;
  const uint64_t diskSectors = state.deviceHandle->SizeBytes() / kSectorSize;
  const std::string source = state.deviceHandle->Describe();
  for (PartitionVolume& partition : state.partitions) {
    const std::string name = "partition " + std::to_string(partition.number) + " of " + source;
    if (partition.startSector >= diskSectors || partition.sectorCount > diskSectors - partition.startSector) {
      *error = name + " lies past the end of the disk";
      return 0;
    }
    const VolumeInfo saved = partition.volumeInfo;
    auto window = std::make_unique<SourceWindow>(*state.deviceHandle, partition.startSector * kSectorSize,
                                                 partition.sectorCount * kSectorSize);
    if (!OpenPartition(state, partition, std::move(window)) || !sameVolume(partition.volumeInfo, saved)) {
      *error = name + " is not the volume the scan was made from";
      return 0;
    }
    partition.volumeInfo.NodeCounter() = VolumeInfo(saved).NodeCounter();
  }
  return 1;
}

}  // namespace restora
