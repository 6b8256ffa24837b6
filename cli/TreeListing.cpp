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
  std::string line;
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
    // One write per line, built without printf: listings of millions of entries are common.
    line.assign(StatusWord(node->status)).append(" ").append(std::to_string(node->size)).append(" ");
    if (node->overwritten != kOverwrittenUnknown) line.append(std::to_string(node->overwritten)).append("% ");
    line.append(path).append("\n");
    std::fwrite(line.data(), 1, line.size(), out);  // a name may hold a NUL
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
  // Per open children array: the next node to print, whether one was printed already, and the
  // layout of its nodes (a partition's top folder and what lies below it take the partition's).
  struct Level {
    const ScanNode* node;
    bool first;
    bool ntfsLayout;
  };
  std::vector<Level> levels{{state.scanRoot->firstChild, true, ntfsLayout}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.node == nullptr) {
      std::fputs("]}", out);  // closes the children array and the node that owns it
      levels.pop_back();
      continue;
    }
    if (!level.first) std::fputc(',', out);
    level.first = false;
    const ScanNode* current = level.node;
    level.node = current->next;
    bool layout = level.ntfsLayout;
    for (const PartitionVolume& partition : state.partitions) {
      if (levels.size() == 1 && partition.folder == current) layout = UsesNtfsLayout(partition.volumeInfo.kind);
    }
    OpenNode(out, *current, layout);
    levels.push_back(Level{current->firstChild, true, layout});
  }
  if (!state.partitions.empty()) {
    std::fputs(",\"partitions\":[", out);
    for (size_t i = 0; i < state.partitions.size(); ++i) {
      const PartitionVolume& partition = state.partitions[i];
      std::fprintf(out, "%s{\"number\":%u,\"start\":%llu,\"sectors\":%llu,\"kind\":\"%s\",\"folder\":%s}",
                   i == 0 ? "" : ",", partition.number, static_cast<unsigned long long>(partition.startSector),
                   static_cast<unsigned long long>(partition.sectorCount), SourceKindName(partition.volumeInfo.kind),
                   partition.folder != nullptr ? JsonString(Utf16ToUtf8(partition.folder->name)).c_str() : "null");
    }
    std::fputc(']', out);
  }
  std::fputs("}\n", out);
}

}  // namespace restora::cli
