// SPDX-License-Identifier: GPL-3.0-or-later
// The whole percent of a job's progress, as the progress bar shows it.
#pragma once

#include <cstdint>

namespace restora {

// Sets *percent to done / total × 100 truncated (at most 100), computed in double precision from
// the full 64-bit values, so totals of 2^32 and more work. Returns false when total is 0 and
// there is nothing to show.
inline bool WholePercent(uint64_t done, uint64_t total, uint32_t* percent) {
  if (total == 0) return false;
  const double share = static_cast<double>(done) / static_cast<double>(total) * 100.0;
  *percent = share >= 100.0 ? 100u : static_cast<uint32_t>(share);
  return true;
}

}  // namespace restora
