// SPDX-License-Identifier: GPL-3.0-or-later
// The shared scan job of the command line.
#include "ScanJob.h"

#include <optional>
#include <string>

#include "JobRunner.h"
#include "ScanDriver.h"
#include "SignatureSelection.h"

namespace restora::cli {

namespace {

bool ParsePartitionNumber(const std::string& text, uint32_t& number) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  number = static_cast<uint32_t>(std::stoul(text));
  return number > 0;
}

}  // namespace

ScanJobResult RunScanJob(EngineState& state, ArgScanner& scanner, const std::string& source, TerminalProgress& sink) {
  ScanJobResult result;
  const bool advanced = scanner.Flag("--advanced");
  const bool asDisk = scanner.Flag("--disk") || advanced;
  const bool lost = scanner.Flag("--lost");
  const std::optional<std::string> partition = scanner.Value("--partition");
  if (lost && advanced) {
    result.exitCode = Fail("--lost and --advanced exclude each other");
    return result;
  }
  uint32_t number = 0;
  if (partition && (asDisk || !ParsePartitionNumber(*partition, number))) {
    result.exitCode = Fail("--partition takes a partition number (restora-cli info SOURCE lists them), without --disk");
    return result;
  }
  state.progress = &sink;
  std::string error;
  if (partition ? !OpenJobPartition(state, source, number, &error) : !OpenJobSource(state, source, asDisk, &error)) {
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
