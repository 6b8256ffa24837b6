// SPDX-License-Identifier: GPL-3.0-or-later
// Matching a sector against many signatures at once: each signature is filed under one of its
// bytes (its position in the sector and its value), so a sector costs one table look-up per
// distinct position, however many signatures there are, and only signatures whose filed byte
// is present are compared in full.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "SignatureRecord.h"

namespace restora {

class SignatureMatcher {
 public:
  // Files every record of list whose signature fits a 512-byte sector (SignatureFitsSector);
  // the others never match. list must outlive the matcher and stay unchanged.
  explicit SignatureMatcher(const std::vector<SignatureRecord>& list);

  // Stores in hits the indices into the list of every record whose signature the 512-byte
  // sector holds, in list order (ascending).
  void Match(const uint8_t* sector, std::vector<uint32_t>& hits) const;

  // Records that can never match (an empty signature, or one reaching past the sector).
  const std::vector<uint32_t>& Unusable() const { return unusable_; }

 private:
  // The records filed under one sector position, grouped by the value of the byte there:
  // records[start[v] .. start[v + 1]) hold the value v, each group in list order.
  struct Anchor {
    uint16_t position = 0;
    std::array<uint32_t, 257> start{};
    std::vector<uint32_t> records;
  };

  const std::vector<SignatureRecord>& list_;
  std::vector<Anchor> anchors_;
  std::vector<uint32_t> unusable_;
};

}  // namespace restora
