// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes compound-document identification and sizing: the bytes after the first lie at sector s
// of a memory source (s from the first byte), where a document's header is looked for; then the
// signature search files whatever the source holds.
#include "CompoundDocument.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "SearchType.h"
#include "SignatureSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  const uint64_t sector = data[0] % 16;
  std::vector<uint8_t> bytes(sector * 512 + (size - 1), 0);
  std::copy(data + 1, data + size, bytes.begin() + static_cast<std::ptrdiff_t>(sector * 512));
  const uint64_t sectors = (bytes.size() + 511) / 512;

  EngineState state;
  state.deviceHandle = std::make_unique<MemorySourceReader>(std::move(bytes));
  state.volumeInfo.kind = SourceKind::Disk;
  state.volumeInfo.totalSectors = sectors;
  const std::vector<uint8_t> magic = {0xD0, 0xCF, 0x11, 0xE0};
  state.signatureList = {test::SearchType("ppt", magic, 2), test::SearchType("xls", magic, 2), test::SearchType("doc", magic, 2)};
  const SignatureRecord* type = IdentifyCompoundDocument(state, sector);
  if (type != nullptr && (type < state.signatureList.data() || type >= state.signatureList.data() + 3)) __builtin_trap();
  (void)CompoundDocumentSize(state, sector);

  state.scanRoot = NewNode(state);
  state.keepRunning = 1;
  if (SearchSignatures(state) != 1) __builtin_trap();
  CleanUp(state);
  return 0;
}
