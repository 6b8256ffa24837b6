// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatch table of the signature search.
#include "SignatureMatcher.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "SignatureFile.h"

namespace restora {

namespace {

// The signature byte a record is filed under: the first one that is not 0x00, 0xFF or a blank,
// the values that fill most sectors of ordinary data, so few sectors reach a full comparison.
size_t AnchorIndex(const SignatureRecord& record) {
  for (size_t i = 0; i < record.headerLength; ++i) {
    const uint8_t byte = record.headerBytes[i];
    if (byte != 0x00 && byte != 0xFF && byte != 0x20) return i;
  }
  return 0;
}

}  // namespace

SignatureMatcher::SignatureMatcher(const std::vector<SignatureRecord>& list) : list_(list) {
  // position → value → records, in list order
  std::map<uint16_t, std::array<std::vector<uint32_t>, 256>> filed;
  for (uint32_t index = 0; index < list.size(); ++index) {
    const SignatureRecord& record = list[index];
    if (!SignatureFitsSector(record)) {
      unusable_.push_back(index);
      continue;
    }
    const size_t anchor = AnchorIndex(record);
    filed[static_cast<uint16_t>(record.headerOffset + anchor)][record.headerBytes[anchor]].push_back(index);
  }
  for (const auto& [position, byValue] : filed) {
    Anchor anchor;
    anchor.position = position;
    for (size_t value = 0; value < 256; ++value) {
      anchor.start[value] = static_cast<uint32_t>(anchor.records.size());
      anchor.records.insert(anchor.records.end(), byValue[value].begin(), byValue[value].end());
    }
    anchor.start[256] = static_cast<uint32_t>(anchor.records.size());
    anchors_.push_back(std::move(anchor));
  }
}

void SignatureMatcher::Match(const uint8_t* sector, std::vector<uint32_t>& hits) const {
  hits.clear();
  size_t anchorsHit = 0;
  for (const Anchor& anchor : anchors_) {
    const uint8_t value = sector[anchor.position];
    const uint32_t first = anchor.start[value];
    const uint32_t last = anchor.start[value + 1];
    if (first == last) continue;
    const size_t before = hits.size();
    for (uint32_t k = first; k < last; ++k) {
      const SignatureRecord& record = list_[anchor.records[k]];
      if (std::memcmp(sector + record.headerOffset, record.headerBytes.data(), record.headerLength) == 0) {
        hits.push_back(anchor.records[k]);
      }
    }
    if (hits.size() != before) ++anchorsHit;
  }
  // Each anchor's hits are in list order already; hits of several anchors are merged.
  if (anchorsHit > 1) std::sort(hits.begin(), hits.end());
}

}  // namespace restora
