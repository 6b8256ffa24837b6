// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli show: prints a saved scan tree in the same forms as the scan verb.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "CliSupport.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "TreeListing.h"

namespace restora::cli {

int RunShow(const Args& args) {
  ArgScanner scanner(args);
  const bool json = scanner.Flag("--json");
  scanner.Flag("--list");
  const std::vector<std::string> positionals = scanner.Positionals();
  if (!scanner.UnknownOption().empty()) return Fail("show: unknown option " + scanner.UnknownOption());
  if (positionals.size() != 1) return Fail("usage: restora-cli show FILE.qxs [--json|--list]");
  const std::string& path = positionals[0];

  if (!std::ifstream(path, std::ios::binary)) return Fail("cannot open " + path + ": " + std::strerror(errno));
  EngineState state;
  TerminalProgress sink("reading");
  state.progress = &sink;
  if (!ReadScanInfo(state, path)) return Fail("not a scan information file: " + path);
  // A saved tree is shown as a finished one: the file does not record whether its scan was stopped.
  if (json) {
    PrintTreeJson(stdout, state, true);
  } else {
    PrintTreeList(stdout, state);
  }
  std::fflush(stdout);
  CleanUp(state);
  return kExitOk;
}

}  // namespace restora::cli
