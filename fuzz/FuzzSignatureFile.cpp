// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the "Signature" file reader and what consumes its records: the bytes are written as the
// file, read as the full list, turned into the selected list, checked, and searched for on a
// small disk that holds the same bytes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ScanDriver.h"
#include "ScanTree.h"
#include "SignatureFile.h"
#include "SignatureSearch.h"

namespace {

// One folder per process, in memory when /dev/shm is there.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    namespace fs = std::filesystem;
    const auto base = (fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                      ("restora-fuzz-signature." + std::to_string(::getpid()));
    return std::filesystem::create_directories(base), base;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  {
    std::ofstream out(Folder() / kSignatureFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  EngineState state;
  if (OpenSignatureFile(state, Folder()) != 1) __builtin_trap();
  if (ReadSignatureList(state) != 1) __builtin_trap();
  if (state.signatureList.empty() || state.signatureList.size() > kMaxSignatureRecords) __builtin_trap();
  for (const SignatureRecord& record : state.signatureList) {
    std::string why;
    (void)CheckSignatureRecord(record, &why);
  }
  uint32_t count = 0;
  std::vector<SignatureRecord> selected = BuildSelectedList(state.signatureList, kDefaultMaxSizeText, count);
  if (count != selected.size()) __builtin_trap();

  // The search over a disk of the input's bytes (whole sectors, at most 64).
  std::vector<uint8_t> disk(std::min<size_t>((size + 511) / 512, 64) * 512);
  std::copy(data, data + std::min(size, disk.size()), disk.begin());
  const uint64_t sectors = disk.size() / 512;
  state.deviceHandle = std::make_unique<MemorySourceReader>(std::move(disk));
  state.volumeInfo.kind = SourceKind::Disk;
  state.volumeInfo.totalSectors = sectors;
  state.scanRoot = NewNode(state);
  state.signatureList = std::move(selected);
  state.keepRunning = 1;
  if (SearchSignatures(state) != 1) __builtin_trap();
  CleanUp(state);
  return 0;
}
