// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the signature file lands.
#include "SignatureSelection.h"

namespace restora::cli {

int PrepareSignatureSearch(EngineState&, ArgScanner&, std::string* error) {
  *error = "the signature search is not available in this build";
  return 0;
}

}  // namespace restora::cli
