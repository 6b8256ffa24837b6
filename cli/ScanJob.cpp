// SPDX-License-Identifier: GPL-3.0-or-later
// The shared scan job of the command line.
#include "ScanJob.h"

#include "JobRunner.h"
#include "ScanDriver.h"
#include "SignatureSelection.h"

namespace restora::cli {

ScanJobResult RunScanJob(EngineState& state, ArgScanner& scanner, const std::string& source, TerminalProgress& sink) {
  ScanJobResult result;
  const bool advanced = scanner.Flag("--advanced");
  const bool asDisk = scanner.Flag("--disk") || advanced;
  const bool lost = scanner.Flag("--lost");
  if (lost && advanced) {
    result.exitCode = Fail("--lost and --advanced exclude each other");
    return result;
  }
  state.progress = &sink;
  std::string error;
  if (!OpenJobSource(state, source, asDisk, &error)) {
    result.exitCode = Fail(error);
    return result;
  }
  const bool search = lost || asDisk;
  if (search && !PrepareSignatureSearch(state, scanner, &error)) {
    CleanUp(state);
    result.exitCode = Fail(error);
    return result;
  }
  if (!scanner.UnknownOption().empty()) {
    CleanUp(state);
    result.exitCode = Fail("unknown option " + scanner.UnknownOption());
    return result;
  }
  state.keepRunning = 1;
  StopOnInterrupt(state);
  sink.SetLabel(search ? "searching" : "scanning");
  JobRequest request;
  request.kind = search ? JobKind::SignatureSearchJob : JobKind::DirectoryScanJob;
  result.completed = RunJob(state, request) == 1;
  state.keepRunning = 0;
  sink.Finish();
  return result;
}

}  // namespace restora::cli
