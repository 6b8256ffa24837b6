// SPDX-License-Identifier: GPL-3.0-or-later
// Printing scan trees as lines and as JSON; iterative, so trees of any depth print.
#include "TreeListing.h"

#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "TextCodec.h"

namespace restora::cli {

namespace {

// The node's fields up to the opening of its children array.
void OpenNode(std::FILE* out, const ScanNode& node, bool ntfsLayout) {
  const unsigned long long created = ntfsLayout ? node.created : node.createdDate;
  const unsigned long long modified = ntfsLayout ? node.modified : node.modifiedDate;
  std::fprintf(out,
               "{\"name\":%s,\"status\":%u,\"size\":%llu,\"id\":%u,\"parentId\":%u,\"attributes\":%u,"
               "\"created\":%llu,\"modified\":%llu,\"carveSource\":%u,\"checked\":%u,",
               JsonString(Utf16ToUtf8(node.name)).c_str(), node.status, static_cast<unsigned long long>(node.size),
               node.id, node.parentId, node.attributes, created, modified, node.carveSource, node.checked);
  if (node.overwritten == kOverwrittenUnknown) {
    std::fputs("\"overwritten\":null,", out);
  } else {
    std::fprintf(out, "\"overwritten\":%u,", node.overwritten);
  }
  if (ntfsLayout) {
    std::fprintf(out, "\"location\":%llu,", static_cast<unsigned long long>(node.location));
  } else {
    std::fprintf(out, "\"firstCluster\":%u,", node.firstCluster);
  }
  std::fputs("\"children\":[", out);
}

}  // namespace

const char* StatusWord(uint8_t status) {
  switch (status & kStatusLiveFolder) {
    case 0: return "deleted-file";
    case kStatusLive: return "file";
    case kStatusFolder: return "deleted-folder";
    default: return "folder";
  }
}

void PrintTreeList(std::FILE* out, const EngineState& state) {
  if (state.scanRoot == nullptr) return;
  // One path buffer for the whole walk; each open level remembers where its names start, so a
  // deep tree costs memory in proportion to its depth, not its depth squared.
  std::string path;
  std::vector<std::pair<const ScanNode*, size_t>> levels{{state.scanRoot->firstChild, 0}};
  while (!levels.empty()) {
    const ScanNode* node = levels.back().first;
    if (node == nullptr) {
      levels.pop_back();
      continue;
    }
    levels.back().first = node->next;
    path.resize(levels.back().second);
    path += Utf16ToUtf8(node->name);
    std::fprintf(out, "%s %llu ", StatusWord(node->status), static_cast<unsigned long long>(node->size));
    if (node->overwritten != kOverwrittenUnknown) std::fprintf(out, "%u%% ", node->overwritten);
    std::fwrite(path.data(), 1, path.size(), out);  // a name may hold a NUL
    std::fputc('\n', out);
    if (node->firstChild != nullptr) {
      path += '/';
      levels.emplace_back(node->firstChild, path.size());
    }
  }
}

void PrintTreeJson(std::FILE* out, const EngineState& state, bool completed) {
  const bool ntfsLayout = UsesNtfsLayout(state.volumeInfo.kind);
  std::fprintf(out, "{\"kind\":\"%s\",\"totalSectors\":%llu,\"completed\":%s,\"root\":", SourceKindName(state.volumeInfo.kind),
               static_cast<unsigned long long>(state.volumeInfo.totalSectors), completed ? "true" : "false");
  if (state.scanRoot == nullptr) {
    std::fputs("null}\n", out);
    return;
  }
  OpenNode(out, *state.scanRoot, ntfsLayout);
  // Per open children array: the next node to print and whether one was printed already.
  std::vector<std::pair<const ScanNode*, bool>> levels{{state.scanRoot->firstChild, true}};
  while (!levels.empty()) {
    auto& [node, first] = levels.back();
    if (node == nullptr) {
      std::fputs("]}", out);  // closes the children array and the node that owns it
      levels.pop_back();
      continue;
    }
    if (!first) std::fputc(',', out);
    first = false;
    const ScanNode* current = node;
    node = current->next;
    OpenNode(out, *current, ntfsLayout);
    levels.emplace_back(current->firstChild, true);
  }
  std::fputs("}\n", out);
}

}  // namespace restora::cli
