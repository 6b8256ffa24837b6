// SPDX-License-Identifier: GPL-3.0-or-later
// The one path both front ends take to open a source and run a job on it, so the desktop program
// and restora-cli cannot drift apart.
#pragma once

#include <string>

#include "EngineState.h"
#include "ImageFile.h"
#include "JobKind.h"
#include "RecoveryWriter.h"

namespace restora {

// Discards all scan state (CleanUp) and opens path as the source: as a whole disk when asDisk,
// otherwise as a volume (a block device as a drive, a regular file as an image). When path is
// no volume but a disk (or an image of one) with a partition table, every FAT16, FAT32 and NTFS
// partition is opened for a scan of all of them (state.partitions); each entry skipped is
// reported as a diagnostic line. Returns 1 when the source is open and described, 0 with *error
// set and the state cleaned up again.
int OpenJobSource(EngineState& state, const std::string& path, bool asDisk, std::string* error);

// Like OpenJobSource for partition number of the disk (or disk image) path alone, opened as a
// plain volume; volumeInfo.startSector records where the partition starts. Returns 1 when it is
// open, 0 with *error set (no such partition, or why it is skipped) and the state cleaned up.
int OpenJobPartition(EngineState& state, const std::string& path, uint32_t number, std::string* error);

// For a tree of a disk scanned partition by partition (state.partitions from a scan file): opens
// source as the disk and every partition again at its start, each of which must be the volume
// it was. Returns 1 when all are open, 0 with *error set and the state as it was.
int AttachDiskForPartitions(EngineState& state, const std::string& source, std::string* error);

// Opens source for the tree that state holds (read from a scan file, whose volume description
// is in state.volumeInfo) and keeps the tree: the source must be of the same kind and be the same
// volume, else it is refused and the state is left as it was. A tree of one partition of a disk
// (volumeInfo.startSector not 0) may also take the disk, or an image of it, as source. Returns 1 when the tree's source
// is open, 0 with *error set otherwise.
int AttachSourceForTree(EngineState& state, const std::string& source, std::string* error);

// Reads the scan file into state (CleanUp first) and opens its source with AttachSourceForTree.
// Returns 1 when ready to save, 0 with *error set and the state cleaned up.
int OpenSavedScan(EngineState& state, const std::string& scanFile, const std::string& source, std::string* error);

// What a job needs beyond the engine state, and what it reports.
struct JobRequest {
  JobKind kind = JobKind::DirectoryScanJob;
  Destination* destination = nullptr;  // SaveJob: where the checked entries go
  SaveListener* listener = nullptr;    // SaveJob: told of every entry; may be null
  std::string imageFilePath;           // ImagingJob: the image file to create
};

struct JobReport {
  SaveSummary save;   // SaveJob
  ImageStats image;   // ImagingJob
};

// Runs one job on the open source with state.progress as its sink. keepRunning belongs to the
// caller: it is set to 1 when the job is requested and cleared by a stop. Returns the engine's
// result: 1 when the job ran to its end, 0 when it failed or was stopped (a SaveJob without a
// destination is 0).
int RunJob(EngineState& state, const JobRequest& request, JobReport* report = nullptr);

}  // namespace restora
