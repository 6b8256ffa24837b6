// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the scan information file reader. Whatever tree a file gives, writing it and reading it
// back must give the same bytes again after the path (of which each write keeps only half).
#include <cstdlib>
#include <sstream>
#include <string>

#include "ScanFile.h"
#include "ScanTree.h"

namespace {

// The written file from the volume description on.
std::string WriteBack(const restora::EngineState& state) {
  std::ostringstream out;
  if (restora::WriteScanInfoTo(state, out) != 1) std::abort();
  const std::string file = out.str();
  return file.substr(10 + static_cast<uint8_t>(file[8]) + 256 * static_cast<uint8_t>(file[9]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  // Kept across inputs, as a program that opens one scan file after another keeps its state: each
  // read frees the tree before it.
  static EngineState first;
  static EngineState second;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  if (ReadScanInfoFrom(first, in) != 1) return 0;
  // A stored node takes at least 64 bytes, and every node the pool handed out is in the tree.
  const uint64_t nodes = CountNodes(first.scanRoot);
  if (nodes > size / 64 || first.pool.LiveCount() != nodes + 1) std::abort();
  const std::string written = WriteBack(first);
  std::istringstream again(std::string(reinterpret_cast<const char*>(restora::kScanFileSignature.data()), 8) +
                           std::string(2, '\0') + written);
  if (ReadScanInfoFrom(second, again) != 1 || WriteBack(second) != written) std::abort();
  return 0;
}
