// SPDX-License-Identifier: GPL-3.0-or-later
// Ogg: the page walk; the file ends with the page that ends its last open logical stream.
#include "FormatEnds.h"

#include <algorithm>
#include <vector>

namespace restora {

uint64_t OggEnd(FileBytes& bytes) {
  std::vector<uint32_t> open;
  bool begun = false;
  for (uint64_t at = 0;;) {
    uint8_t header[27];
    if (!bytes.Read(at, header) || !bytes.Equals(at, "OggS") || header[4] != 0) return 0;
    const uint8_t flags = header[5];
    const uint32_t serial = static_cast<uint32_t>(header[14]) | (static_cast<uint32_t>(header[15]) << 8) |
                            (static_cast<uint32_t>(header[16]) << 16) | (static_cast<uint32_t>(header[17]) << 24);
    const uint8_t segments = header[26];
    uint8_t table[255];
    if (!bytes.Read(at + 27, std::span(table, segments))) return 0;
    uint64_t body = 0;
    for (uint8_t i = 0; i < segments; ++i) body += table[i];
    if ((flags & 0x02) != 0) {  // beginning of a stream
      if (open.size() >= 256) return 0;
      open.push_back(serial);
      begun = true;
    } else if (std::find(open.begin(), open.end(), serial) == open.end()) {
      return 0;  // a page of a stream that never began here
    }
    at += 27 + uint64_t{segments} + body;
    if ((flags & 0x04) != 0) {  // end of the stream
      open.erase(std::find(open.begin(), open.end(), serial));
      if (begun && open.empty()) return bytes.Holds(0, at) ? at : 0;
    }
  }
}

}  // namespace restora
