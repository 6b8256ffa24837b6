// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a whole small volume through the directory scan: the bytes after the first are the
// source, opened from memory. The first byte's bit 0 adds the lost-file search, bit 1 opens the
// bytes as a whole disk instead (the signature search alone).
#include "ScanDriver.h"
#include "ScanTree.h"
#include "SearchType.h"
#include "TreeFault.h"
#include "VolumeAccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  EngineState state;
  const OpenMode open = (mode & 2) != 0 ? OpenMode::PhysicalDisk : OpenMode::Image;
  if (OpenSource(state, open, std::make_unique<MemorySourceReader>(std::move(bytes)), u"fuzz") == 1) {
    const bool search = (mode & 1) != 0 || open == OpenMode::PhysicalDisk;
    if (search) {
      using test::SearchType;
      state.signatureList = {SearchType("jpg", {0xFF, 0xD8, 0xFF}), SearchType("doc", {0xD0, 0xCF, 0x11, 0xE0}, 2),
                             SearchType("xls", {0xD0, 0xCF, 0x11, 0xE0}, 2), SearchType("zip", {'P', 'K', 3, 4})};
    }
    state.keepRunning = 1;
    (void)ScanSource(state, search ? 1 : 0);
    // Numbered and consistent, every node named, and every node the pool handed out in the tree.
    if (!test::TreeFault(state).empty()) __builtin_trap();
  }
  CleanUp(state);
  return 0;
}
