// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the known file types from the program's data folder.
#include "KnownTypes.h"

#include "ProgramFolder.h"
#include "SignatureFile.h"

namespace restora {

int LoadKnownTypes(EngineState& state, std::vector<SignatureRecord>& fullList, std::string* error,
                   std::filesystem::path* folder) {
  const std::filesystem::path found = FindDataFolder(kSignatureFileName);
  if (found.empty() || !OpenSignatureFile(state, found)) {
    std::string searched;
    for (const std::filesystem::path& candidate : DataFolderCandidates()) {
      searched += (searched.empty() ? "" : ", ") + candidate.string();
    }
    *error = "Failed to retrieve signatures information (no readable Signature file in " + searched + ")";
    return 0;
  }
  const int read = ReadSignatureList(state);
  fullList = std::move(state.signatureList);
  state.signatureList.clear();
  state.signatureFileHandle.reset();
  if (!read) {
    *error = "Failed to retrieve signatures information from " + (found / kSignatureFileName).string();
    return 0;
  }
  if (folder != nullptr) *folder = found;
  return 1;
}

}  // namespace restora
