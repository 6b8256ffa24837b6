// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes LZNT1: the compressed-unit test and the decompression of one unit. The first byte
// chooses the cluster size (512 to 4096 bytes), so the output holds 16 such clusters.
#include <vector>

#include "Lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  const size_t clusterBytes = size_t{512} << (data[0] % 4);
  const Bytes unit(data + 1, size - 1);
  (void)IsCompressedUnit(unit);
  std::vector<uint8_t> output(16 * clusterBytes);
  const size_t produced = DecompressUnit(unit, output);
  if (produced > output.size()) __builtin_trap();
  return 0;
}
