// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory source.
#include "SourceReader.h"

#include <algorithm>
#include <cstring>

namespace restora {

int MemorySourceReader::ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered) {
  size_t count = 0;
  if (offset < bytes_.size()) {
    count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes_.size() - offset));
    if (count > 0) std::memcpy(buffer.data(), bytes_.data() + offset, count);
  }
  if (delivered != nullptr) *delivered = count;
  return 1;
}

}  // namespace restora
