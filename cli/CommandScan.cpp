// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli scan: runs the fast scan (or a lost-file or advanced search) and prints the tree.
#include <cstdio>

#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanJob.h"
#include "SourceGuard.h"
#include "TreeListing.h"

namespace restora::cli {

int RunScan(const Args& args) {
  ArgScanner scanner(args);
  const bool json = scanner.Flag("--json");
  scanner.Flag("--list");
  const std::optional<std::string> saveScan = scanner.Value("--save-scan");
  const std::vector<std::string> positionals = scanner.Positionals();
  if (positionals.size() != 1) return Fail("usage: restora-cli scan SOURCE [--json|--list] [options]");
  if (saveScan) {
    const std::string why = WhyOutputTouchesSource(positionals[0], *saveScan);
    if (!why.empty()) return Fail("refused: " + why);
  }

  EngineState state;
  TerminalProgress sink("scanning");
  const ScanJobResult job = RunScanJob(state, scanner, positionals[0], sink);
  if (job.exitCode != kExitOk) return job.exitCode;

  if (json) {
    PrintTreeJson(stdout, state, job.completed);
  } else {
    PrintTreeList(stdout, state);
  }
  std::fflush(stdout);
  int exitCode = job.completed ? kExitOk : (Interrupted() ? kExitInterrupted : kExitFailure);
  if (saveScan && !WriteScanInfo(state, *saveScan)) {
    Fail("cannot write the scan file " + *saveScan);
    if (exitCode == kExitOk) exitCode = kExitFailure;
  }
  CleanUp(state);
  return exitCode;
}

}  // namespace restora::cli
