// SPDX-License-Identifier: GPL-3.0-or-later
// Opening sources for jobs and running the four job kinds.
#include "JobRunner.h"

#include "DiskPartitions.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "SourceGuard.h"
#include "SourceOpener.h"

namespace restora {

namespace {

// Opens the partitions of path that only accepts (all usable ones when only is null) and reports
// every entry skipped, or scanned with a note, as one diagnostic line.
int OpenPartitionsOf(EngineState& state, const std::string& path, const std::function<bool(const PartitionEntry&)>& only,
                     std::string* error) {
  std::vector<PartitionReport> reports;
  const int opened = OpenDiskPartitions(state, path, only, &reports, error);
  if (!only) {
    for (const PartitionReport& report : reports) {
      if (!report.entry.extended && !report.note.empty()) state.ReportDiagnostic(report.NoteLine());
    }
  }
  return opened;
}

}  // namespace

int OpenJobSource(EngineState& state, const std::string& path, bool asDisk, std::string* error) {
  CleanUp(state);
  if (OpenSourcePath(state, path, asDisk, error)) return 1;
  // A boot sector recognised as a volume but refused for its values is a damaged volume, not a
  // disk: its 0x55AA mark would let its boot code pass for a partition table, whose refusal would
  // hide the reason.
  const bool refusedVolume = !state.refusal.empty();
  CleanUp(state);
  if (refusedVolume) return 0;
  // Not a volume: a whole disk (or an image of one) is scanned partition by partition.
  std::string partitionError;
  if (!asDisk && OpenPartitionsOf(state, path, nullptr, &partitionError)) return 1;
  // A table without a usable partition says so; anything else keeps the volume's own message.
  if (partitionError.find("partition table of") != std::string::npos) *error = partitionError;
  CleanUp(state);
  return 0;
}

int OpenJobPartition(EngineState& state, const std::string& path, uint32_t number, std::string* error) {
  CleanUp(state);
  if (OpenPartitionsOf(state, path, [number](const PartitionEntry& entry) { return entry.number == number; }, error)) {
    return 1;
  }
  CleanUp(state);
  return 0;
}

int AttachDiskForPartitions(EngineState& state, const std::string& source, std::string* error) {
  EngineState disk;
  if (!OpenSourcePath(disk, source, true, error)) {
    CleanUp(disk);
    return 0;
  }
  std::vector<VolumeInfo> saved;
  for (const PartitionVolume& partition : state.partitions) saved.push_back(partition.volumeInfo);
  std::unique_ptr<SourceReader> previous = std::move(state.deviceHandle);
  state.deviceHandle = std::move(disk.deviceHandle);
  if (!ReopenPartitions(state, SameVolume, error)) {
    for (size_t i = 0; i < saved.size(); ++i) {
      state.partitions[i].reader.reset();
      state.partitions[i].mftRuns.clear();
      state.partitions[i].volumeInfo = saved[i];
    }
    state.deviceHandle = std::move(previous);
    CleanUp(disk);
    return 0;
  }
  state.volumePath = disk.volumePath;
  CleanUp(disk);
  return 1;
}

int AttachSourceForTree(EngineState& state, const std::string& source, std::string* error) {
  if (!state.partitions.empty()) return AttachDiskForPartitions(state, source, error);
  EngineState opened;
  const SourceKind scannedKind = state.volumeInfo.kind;
  // A volume scanned as one partition of a disk records the partition's start: the disk (or an
  // image of it) is opened at that partition, the partition's own device as it is.
  const uint64_t partitionStart = state.volumeInfo.startSector;
  if (!OpenSourcePath(opened, source, scannedKind == SourceKind::Disk, error)) {
    CleanUp(opened);
    const auto atStart = [partitionStart](const PartitionEntry& entry) { return entry.startSector == partitionStart; };
    if (scannedKind == SourceKind::Disk || partitionStart == 0 || !OpenPartitionsOf(opened, source, atStart, error)) {
      CleanUp(opened);
      return 0;
    }
  }
  if (opened.volumeInfo.kind != scannedKind) {
    *error = std::string("the scan was made from a ") + SourceKindText(scannedKind) + " source, but " + source +
             " is a " + SourceKindText(opened.volumeInfo.kind) + " source";
    CleanUp(opened);
    return 0;
  }
  if (!SameVolume(opened.volumeInfo, state.volumeInfo)) {
    *error = "the scan describes another volume than " + source;
    CleanUp(opened);
    return 0;
  }
  // The tree and its description stay; the reader and what opening learnt about the volume's
  // layout (the table extents of an NTFS volume) come from the source just opened.
  state.deviceHandle = std::move(opened.deviceHandle);
  state.mftRuns = std::move(opened.mftRuns);
  state.volumePath = opened.volumePath;
  CleanUp(opened);
  return 1;
}

int OpenSavedScan(EngineState& state, const std::string& scanFile, const std::string& source, std::string* error) {
  CleanUp(state);
  if (!ReadScanInfo(state, scanFile)) {
    *error = "cannot read the scan file " + scanFile;
    CleanUp(state);
    return 0;
  }
  if (!AttachSourceForTree(state, source, error)) {
    *error = scanFile + ": " + *error;
    CleanUp(state);
    return 0;
  }
  return 1;
}

int RunJob(EngineState& state, const JobRequest& request, JobReport* report) {
  JobReport local;
  JobReport& out = report != nullptr ? *report : local;
  switch (request.kind) {
    case JobKind::DirectoryScanJob: return ScanSource(state, 0);
    case JobKind::SignatureSearchJob: return ScanSource(state, 1);
    case JobKind::SaveJob:
      if (request.destination == nullptr) return 0;
      return SaveCheckedEntries(state, *request.destination, &out.save, request.listener);
    case JobKind::ImagingJob: return WriteImageFile(state, request.imageFilePath, &out.image);
  }
  return 0;
}

}  // namespace restora
