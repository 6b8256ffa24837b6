// SPDX-License-Identifier: GPL-3.0-or-later
// The verbs of restora-cli; each takes the arguments after the verb and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace restora::cli {

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunScan(const Args& args);
int RunRecover(const Args& args);
int RunShow(const Args& args);
int RunImage(const Args& args);
int RunSignatures(const Args& args);
int RunDrives(const Args& args);

}  // namespace restora::cli
