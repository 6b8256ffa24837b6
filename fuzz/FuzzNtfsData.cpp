// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the copy of an NTFS entry's data: the input is a small volume whose file record sits at
// sector 0 (1024 bytes) with its clusters after it; the first byte chooses the sectors per
// cluster. The output is discarded, and stops being accepted after 32 MiB, as a full disk would.
#include <memory>
#include <vector>

#include "NtfsData.h"

namespace {

class DiscardingFile final : public restora::OutputFile {
 public:
  int Write(std::span<const uint8_t> bytes) override {
    written_ += bytes.size();
    return written_ <= (uint64_t{32} << 20) ? 1 : 0;
  }
  int Close() override { return 1; }

 private:
  uint64_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  EngineState state;
  state.volumeInfo.kind = SourceKind::Ntfs;
  state.volumeInfo.ntfsSectorsPerCluster = static_cast<uint8_t>(1u << (data[0] % 4));
  state.volumeInfo.sectorsPerRecord = 2;
  state.volumeInfo.totalSectors = (size - 1) / 512 + 64;  // a little past the data: reads there give zeros
  state.deviceHandle = std::make_unique<MemorySourceReader>(std::vector<uint8_t>(data + 1, data + size));
  ScanNode node;
  DiscardingFile file;
  (void)CopyNtfsData(state, node, file);
  return 0;
}
