// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <stdio.h>
#include <stdlib.h>

#include <cstring>
#include <regex>
#include <filesystem>
#include <fstream>

#include "ScanTree.h"
#include "TextCodec.h"
#include "TreeListing.h"

namespace restora::test {

namespace fs = std::filesystem;

std::string CorpusFolder() {
  const char* env = std::getenv("RESTORA_CORPUS_DIR");
  std::error_code ec;
  const std::string folder = env != nullptr ? env : RESTORA_CORPUS_DIR;
  return !folder.empty() && fs::is_directory(folder, ec) ? folder : std::string();
}

std::vector<std::string> ScannedVolume::Lines() const { return TreeLines(state); }

std::unique_ptr<ScannedVolume> ScanVolume(std::vector<uint8_t> bytes, ProgressSink* sink, uint8_t withSearch,
                                          OpenMode mode) {
  auto scanned = std::make_unique<ScannedVolume>();
  scanned->opened = OpenMemorySource(scanned->state, std::move(bytes), mode);
  scanned->state.progress = sink;
  scanned->state.keepRunning = 1;
  if (scanned->opened == 1) scanned->result = ScanSource(scanned->state, withSearch);
  return scanned;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  // One read of the whole size: stream iterators are slow under the sanitizers.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(in ? static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)) : 0);
  return in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ? bytes : std::vector<uint8_t>{};
}

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "restora-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

void RecordingSink::Checkpoint() {
  ++checkpoints;
  if (stopped) ++checkpointsAfterStop;
  if (stopAt != 0 && checkpoints == stopAt && state != nullptr) {
    state->keepRunning = 0;
    stopped = true;
    if (reader != nullptr) readsAtStop = reader->ReadCount();
  }
}

std::vector<std::string> TreeLines(const EngineState& state) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = ::open_memstream(&text, &size);
  cli::PrintTreeList(out, state);
  std::fclose(out);
  std::vector<std::string> lines;
  // The overwritten share ("0% ") has tests of its own on real volumes; listings compare without it.
  static const std::regex share(R"(^(\S+ \d+) \d+% )");
  for (const char* at = text; at < text + size;) {
    const char* end = std::strchr(at, '\n');
    lines.push_back(std::regex_replace(std::string(at, end), share, "$1 "));
    at = end + 1;
  }
  std::free(text);
  return lines;
}

std::multiset<FoundEntry> FoundFiles(const EngineState& state) {
  std::multiset<FoundEntry> files;
  if (state.scanRoot == nullptr) return files;
  std::vector<const ScanNode*> lists{state.scanRoot->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      if (!node->IsFolderStatus()) {
        files.emplace(Utf16ToUtf8(node->name), node->size, state.NtfsLayout() ? node->location : node->firstCluster,
                      node->carveSource != kCarveNone);
      }
      if (node->firstChild != nullptr) lists.push_back(node->firstChild);
    }
  }
  return files;
}

}  // namespace restora::test
