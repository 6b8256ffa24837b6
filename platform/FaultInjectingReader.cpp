// SPDX-License-Identifier: GPL-3.0-or-later
// Injected read faults.
#include "FaultInjectingReader.h"

namespace restora {

int FaultInjectingReader::ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered) {
  if (delivered != nullptr) *delivered = 0;
  ++reads_;
  if (reads_ > failAfter_) return 0;
  if (!buffer.empty()) {
    const uint64_t first = offset / 512;
    const uint64_t last = (offset + buffer.size() - 1) / 512;
    auto hit = failing_.lower_bound(first);
    if (hit != failing_.end() && *hit <= last) return 0;
  }
  if (shortReadLimit_ != 0 && buffer.size() > shortReadLimit_) buffer = buffer.first(shortReadLimit_);
  return inner_->ReadAt(offset, buffer, delivered);
}

}  // namespace restora
