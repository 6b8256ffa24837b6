// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the signature file reader lands.
#include "SignatureFile.h"

namespace restora {

int FreeSignatureList(EngineState& state) {
  state.signatureList.clear();
  return 1;
}

}  // namespace restora
