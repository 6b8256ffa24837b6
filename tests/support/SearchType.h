// SPDX-License-Identifier: GPL-3.0-or-later
// A selected signature record of the given extension, header and family, for the tests and the
// fuzz harnesses.
#pragma once

#include <cstring>
#include <vector>

#include "SignatureRecord.h"

namespace restora::test {

inline SignatureRecord SearchType(const char* extension, const std::vector<uint8_t>& header, uint8_t family = 0,
                                  uint16_t offset = 0, const char* category = "Found") {
  SignatureRecord record;
  std::strncpy(record.extension.data(), extension, record.extension.size() - 1);
  std::strncpy(record.category.data(), category, record.category.size() - 1);
  std::strncpy(record.typeName.data(), extension, record.typeName.size() - 1);
  record.selected = 1;
  record.family = family;
  record.headerOffset = offset;
  record.headerLength = static_cast<uint8_t>(header.size());
  std::copy(header.begin(), header.end(), record.headerBytes.begin());
  record.maxSizeMiB = 1024;
  return record;
}

}  // namespace restora::test
