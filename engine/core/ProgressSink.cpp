// SPDX-License-Identifier: GPL-3.0-or-later
// Default progress sink behaviour.
#include "ProgressSink.h"

#include <cstdio>

namespace restora {

// The desktop program writes the engine's diagnostic lines to its standard output.
void ProgressSink::Diagnostic(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace restora
