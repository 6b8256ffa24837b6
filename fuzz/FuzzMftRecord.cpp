// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes one master file table record: the integrity check, the attribute walk, the node fill
// from the attributes and the run-list decoder of every data attribute. The first byte chooses
// the record size in sectors.
#include <vector>

#include "NtfsRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 1) return 0;
  EngineState state;
  state.volumeInfo.sectorsPerRecord = static_cast<uint8_t>(data[0] % 9);
  std::vector<uint8_t> record(data + 1, data + size);
  const uint32_t first = VerifyRecord(state, record);
  if (first == kVerifyRefused || first > kMaxFirstAttributeOffset) return 0;
  ScanNode node;
  (void)ParseAttributes(record, first, node);
  if (node.name.size() > record.size()) __builtin_trap();  // a name comes from inside the record
  std::vector<NtfsRun> runs;
  size_t offset = first;
  for (int steps = 0; steps < 4096; ++steps) {
    auto attribute = AttributeAt(record, offset);
    if (!attribute || attribute->type == kAttrEnd) break;
    if (attribute->type == kAttrData) DecodeDataRuns(record, offset + LoadU16(record, offset + 0x20), runs);
    offset += attribute->length;
  }
  return 0;
}
