// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes boot sector recognition and the NTFS set-up: any bytes opened as a volume and as a disk.
#include <memory>
#include <vector>

#include "ScanDriver.h"
#include "VolumeAccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  std::vector<uint8_t> bytes(data, data + size);
  for (OpenMode mode : {OpenMode::Image, OpenMode::PhysicalDisk}) {
    EngineState state;
    (void)OpenSource(state, mode, std::make_unique<MemorySourceReader>(bytes), u"fuzz");
    CleanUp(state);
  }
  return 0;
}
