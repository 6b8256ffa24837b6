// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the scan file lands.
#include "ScanFile.h"

namespace restora {

int WriteScanInfo(EngineState&, const std::string&) { return 0; }

int ReadScanInfo(EngineState&, const std::string&) { return 0; }

}  // namespace restora
