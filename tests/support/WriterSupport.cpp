// SPDX-License-Identifier: GPL-3.0-or-later
// Recovery writer test helpers.
#include "WriterSupport.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "ScanTree.h"

namespace restora::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "restora-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

int MemoryOutputFile::Write(std::span<const uint8_t> data) {
  if (writeFailed_ || closed_) return 0;
  if (bytes.size() + data.size() > failAfter_) {
    writeFailed_ = true;
    return 0;
  }
  bytes.insert(bytes.end(), data.begin(), data.end());
  return 1;
}

CreateStatus RefusingDestination::CreateFolder(const std::string& name) {
  refused_ = refusedCreations.count(name) != 0;
  return refused_ ? CreateStatus::Failed : inner_.CreateFolder(name);
}

CreateStatus RefusingDestination::CreateFile(const std::string& name, std::unique_ptr<OutputFile>* file) {
  refused_ = refusedCreations.count(name) != 0;
  return refused_ ? CreateStatus::Failed : inner_.CreateFile(name, file);
}

int RefusingDestination::EnterFolder(const std::string& name) {
  refused_ = refusedEntries.count(name) != 0;
  return refused_ ? 0 : inner_.EnterFolder(name);
}

std::map<std::string, int64_t> ListTree(const std::string& folder) {
  std::map<std::string, int64_t> entries;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string relative = fs::relative(it->path(), folder).string();
    const fs::file_type type = it->symlink_status().type();
    int64_t size = -2;  // anything else than a folder or a plain file
    if (type == fs::file_type::directory) size = -1;
    if (type == fs::file_type::regular) size = static_cast<int64_t>(it->file_size());
    entries[relative] = size;
  }
  return entries;
}

ScanNode* AddNode(EngineState& state, ScanNode* folder, std::u16string name, uint8_t checked) {
  ScanNode* node = NewNode(state);
  node->name = std::move(name);
  node->checked = checked;
  ScanNode** slot = &folder->firstChild;
  while (*slot != nullptr) slot = &(*slot)->next;
  *slot = node;
  return node;
}

}  // namespace restora::test
