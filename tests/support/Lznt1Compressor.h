// SPDX-License-Identifier: GPL-3.0-or-later
// A small LZNT1 compressor for building test data: greedy longest matches, chunk by chunk.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace restora::test {

// Compresses data (at most one compression unit) into LZNT1 chunks of 4096 input bytes each,
// followed by an end mark. A full chunk that would not shrink is stored.
std::vector<uint8_t> CompressLznt1(std::span<const uint8_t> data);

}  // namespace restora::test
