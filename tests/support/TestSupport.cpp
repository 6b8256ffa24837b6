// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the engine tests.
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace restora::test {

int OpenMemorySource(EngineState& state, std::vector<uint8_t> bytes, OpenMode mode) {
  return OpenSource(state, mode, std::make_unique<MemorySourceReader>(std::move(bytes)), u"memory");
}

std::string CorpusFolder() {
  namespace fs = std::filesystem;
  std::vector<fs::path> candidates;
  if (const char* env = std::getenv("RESTORA_CORPUS_DIR")) candidates.emplace_back(env);
#ifdef RESTORA_SOURCE_DIR
  candidates.push_back(fs::path(RESTORA_SOURCE_DIR) / ".." / "shared" / "corpus" / "real");
#endif
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return fs::weakly_canonical(candidate).string();
  }
  return {};
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  // One read of the whole size: copying through stream iterators is slow under the sanitizers.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  if (size <= 0) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return {};
  return bytes;
}

}  // namespace restora::test
