// SPDX-License-Identifier: GPL-3.0-or-later
// Opening sources for jobs and running the four job kinds.
#include "JobRunner.h"

#include "ScanDriver.h"
#include "ScanFile.h"
#include "SourceGuard.h"
#include "SourceOpener.h"

namespace restora {

int OpenJobSource(EngineState& state, const std::string& path, bool asDisk, std::string* error) {
  CleanUp(state);
  if (OpenSourcePath(state, path, asDisk, error)) return 1;
  CleanUp(state);
  return 0;
}

int AttachSourceForTree(EngineState& state, const std::string& source, std::string* error) {
  EngineState opened;
  const SourceKind scannedKind = state.volumeInfo.kind;
  if (!OpenSourcePath(opened, source, scannedKind == SourceKind::Disk, error)) {
    CleanUp(opened);
    return 0;
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
