// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's own data files (the "Signature" file) are found: beside the executable in
// a build tree, or in the installed data folder <prefix>/share/restora. The process's current
// folder is never changed for it.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace restora {

// The folder that holds the running executable (from /proc/self/exe); empty when it cannot be
// told.
std::filesystem::path ProgramFolder();

// The folders searched for a data file, in order: the program's folder, then
// <program folder>/../share/restora.
std::vector<std::filesystem::path> DataFolderCandidates();

// The first folder of DataFolderCandidates that holds a regular file called fileName; empty
// when none does.
std::filesystem::path FindDataFolder(std::string_view fileName);

}  // namespace restora
