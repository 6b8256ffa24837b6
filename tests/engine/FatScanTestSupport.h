// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the FAT scan tests: scanning a built volume and listing the tree it gives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EngineState.h"
#include "FatImageBuilder.h"
#include "ScanDriver.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace restora::test {

// An engine with the volume opened as an image and scanned by the fast scan.
struct ScannedVolume {
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  int opened = 0;
  int result = -1;
  ScanNode* Root() const { return state->scanRoot; }
};

inline std::unique_ptr<ScannedVolume> ScanVolume(std::vector<uint8_t> image, ProgressSink* sink = nullptr) {
  auto scanned = std::make_unique<ScannedVolume>();
  scanned->opened = OpenMemorySource(*scanned->state, std::move(image));
  scanned->state->progress = sink;
  scanned->state->keepRunning = 1;
  if (scanned->opened == 1) scanned->result = ScanSource(*scanned->state, 0);
  return scanned;
}

inline const char* StatusText(uint8_t status) {
  static const char* const kWords[] = {"deleted-file", "file", "deleted-folder", "folder"};
  return kWords[status & 3];
}

// One line per node below root, depth-first in list order: "status size path".
inline std::vector<std::string> ListTree(const ScanNode* root) {
  std::vector<std::string> lines;
  struct Level {
    const ScanNode* node;
    std::string prefix;
  };
  std::vector<Level> levels{{root != nullptr ? root->firstChild : nullptr, ""}};
  while (!levels.empty()) {
    const ScanNode* node = levels.back().node;
    if (node == nullptr) {
      levels.pop_back();
      continue;
    }
    levels.back().node = node->next;
    const std::string path = levels.back().prefix + Utf16ToUtf8(node->name);
    lines.push_back(std::string(StatusText(node->status)) + " " + std::to_string(node->size) + " " + path);
    if (node->firstChild != nullptr) levels.push_back({node->firstChild, path + "/"});
  }
  return lines;
}

// The child of folder named name (UTF-8), or null.
inline const ScanNode* ChildNamed(const ScanNode* folder, const std::string& name) {
  if (folder == nullptr) return nullptr;
  for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
    if (Utf16ToUtf8(child->name) == name) return child;
  }
  return nullptr;
}

}  // namespace restora::test
