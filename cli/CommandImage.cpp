// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until this verb lands.
#include "CliSupport.h"

namespace restora::cli {

int RunImage(const Args&) { return Fail("this command is not available in this build"); }

}  // namespace restora::cli
