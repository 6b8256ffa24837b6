// SPDX-License-Identifier: GPL-3.0-or-later
// The two printed forms of a scan tree: a line per entry, and the JSON document that is the
// project's stable machine interface.
#pragma once

#include <cstdio>

#include "EngineState.h"

namespace restora::cli {

// One line per node below the root, depth-first in list order: the status word
// (deleted-file, file, deleted-folder, folder), the size in bytes, and the path from the root.
void PrintTreeList(std::FILE* out, const EngineState& state);

// {"kind", "totalSectors", "completed", "root": NODE}; NODE holds the node's fields in the layout
// of the source's kind and its "children" in list order. A disk scanned partition by partition
// adds "partitions": [{"number", "start", "sectors", "kind", "folder"}], and each partition's top
// folder and the nodes below it take the layout of that partition's kind.
void PrintTreeJson(std::FILE* out, const EngineState& state, bool completed);

// The status word of a node.
const char* StatusWord(uint8_t status);

}  // namespace restora::cli
