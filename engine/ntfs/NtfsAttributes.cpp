// SPDX-License-Identifier: GPL-3.0-or-later
// Filling a scan node from the attributes of one file record.
#include <algorithm>

#include "NtfsRecord.h"

namespace restora {

namespace {

constexpr uint32_t kLowestWalkedType = 0x10;
constexpr uint32_t kHighestWalkedType = 0x100;
constexpr uint8_t kDosNameSpace = 2;
constexpr size_t kFileNameTextOffset = 0x5A;  // 0x42 into a value at the usual offset 0x18

// The value of a resident attribute, cut to the attribute's own bytes.
Bytes ResidentValue(Bytes attribute) {
  const size_t offset = LoadU16(attribute, 0x14);
  if (offset >= attribute.size()) return {};
  return attribute.subspan(offset);
}

void ReadStandardInformation(Bytes attribute, ScanNode& node) {
  const Bytes value = ResidentValue(attribute);
  node.created = LoadU64(value, 0x00);
  node.modified = LoadU64(value, 0x08);
  node.attributes = LoadU16(value, 0x20);
}

void ReadFileName(Bytes attribute, ScanNode& node) {
  const Bytes value = ResidentValue(attribute);
  const size_t length = LoadU8(value, 0x40);
  // The text never reaches past the attribute; a longer claim keeps what lies inside it.
  const size_t available = attribute.size() > kFileNameTextOffset ? (attribute.size() - kFileNameTextOffset) / 2 : 0;
  const size_t characters = std::min(length, available);
  node.name.clear();
  node.name.reserve(characters);
  for (size_t i = 0; i < characters; ++i) {
    node.name.push_back(static_cast<char16_t>(LoadU16(attribute, kFileNameTextOffset + 2 * i)));
  }
  node.nameLength = static_cast<uint16_t>(characters);
  node.parentId = LoadU32(value, 0x00);  // low 32 bits of the parent reference
}

void ReadDataSize(Bytes attribute, ScanNode& node) {
  const bool nonResident = LoadU8(attribute, 0x08) == 1;
  // A later piece of an attribute spread over several records (its starting cluster is not 0)
  // carries no sizes; the piece at cluster 0 does.
  if (nonResident && LoadU64(attribute, 0x10) != 0) return;
  node.size = nonResident ? LoadU64(attribute, 0x30) : LoadU32(attribute, 0x10);
}

}  // namespace

int ParseAttributes(Bytes record, uint32_t firstAttributeOffset, ScanNode& node) {
  node.status = LoadU8(record, 0x16);
  bool named = !node.name.empty();
  size_t offset = firstAttributeOffset;
  // Every step moves forward by a non-zero length that stays inside the record, so the walk ends.
  while (auto attribute = AttributeAt(record, offset)) {
    const uint32_t type = attribute->type;
    if (type == kAttrEnd) return 1;
    if (type < kLowestWalkedType || type > kHighestWalkedType) return 0;
    Bytes bytes = record.subspan(attribute->offset, attribute->length);
    if (type == kAttrStandardInformation) {
      ReadStandardInformation(bytes, node);
    } else if (type == kAttrFileName && !named) {
      if (LoadU8(ResidentValue(bytes), 0x41) == kDosNameSpace) {
        // The long name usually follows its 8.3 twin; when it does, it is the one listed.
        const auto following = AttributeAt(record, offset + attribute->length);
        if (following && following->type == kAttrFileName) {
          attribute = following;
          bytes = record.subspan(following->offset, following->length);
        }
      }
      ReadFileName(bytes, node);
      named = true;
    } else if (type == kAttrData) {
      ReadDataSize(bytes, node);
    }
    offset = attribute->offset + attribute->length;
  }
  return 0;
}

}  // namespace restora
