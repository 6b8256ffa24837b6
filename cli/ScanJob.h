// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a source and running a scan job on it, as the scan and recover verbs both do.
#pragma once

#include <string>

#include "CliSupport.h"

namespace restora::cli {

struct ScanJobResult {
  int exitCode = kExitOk;  // kExitFailure when the source could not be used
  bool completed = false;  // the scan ran to its end
};

// Consumes the scan options (--disk, --lost, --advanced and the file-type options) from scanner,
// opens source into state and runs the scan with progress on sink. On a failure it has printed
// the message and cleaned up.
ScanJobResult RunScanJob(EngineState& state, ArgScanner& scanner, const std::string& source, TerminalProgress& sink);

}  // namespace restora::cli
