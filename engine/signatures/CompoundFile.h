// SPDX-License-Identifier: GPL-3.0-or-later
// The compound file format (Word, Excel and PowerPoint 97-2003 documents and others) read from
// a found file's bounded bytes: its allocation table and its whole directory.
#pragma once

#include <cstdint>
#include <string_view>

#include "FileBytes.h"

namespace restora {

struct CompoundFileInfo {
  uint64_t end = 0;         // the end of the highest sector the allocation table uses; 0 unknown
  bool hasRoot = false;     // the directory's first entry is the root entry
  std::string_view type;    // "doc", "xls" or "ppt" by the streams the directory names; empty
                            // when it names none of them
};

// Reads the header, the allocation table and the directory (its sector chain followed through
// the table, bounded and ended at a repeated sector). The document's sector n lies at
// (n + 1) × the sector size, behind the header's own sector.
CompoundFileInfo ReadCompoundFile(FileBytes& bytes);

}  // namespace restora
