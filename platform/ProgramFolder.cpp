// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the program's folder and its data files.
#include "ProgramFolder.h"

#include <system_error>

namespace restora {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || program.empty()) return {};
  return program.parent_path();
}

std::vector<std::filesystem::path> DataFolderCandidates() {
  const std::filesystem::path folder = ProgramFolder();
  if (folder.empty()) return {};
  return {folder, (folder.parent_path() / "share" / "restora").lexically_normal()};
}

std::filesystem::path FindDataFolder(std::string_view fileName) {
  for (const std::filesystem::path& folder : DataFolderCandidates()) {
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / fileName, error)) return folder;
  }
  return {};
}

}  // namespace restora
