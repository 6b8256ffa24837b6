// SPDX-License-Identifier: GPL-3.0-or-later
// One known file type as the "Signature" file stores it (832 bytes a record); in memory the same
// fields, with the text fields kept as their fixed-size byte arrays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace restora {

constexpr size_t kSignatureRecordSize = 832;

struct SignatureRecord {
  uint8_t selected = 0;       // 1 when the type is chosen for the search
  uint8_t headerLength = 0;   // signature bytes to compare
  uint16_t headerOffset = 0;  // offset of the signature inside a 512-byte sector
  std::array<uint8_t, 513> headerBytes{};
  std::array<char, 256> typeName{};
  std::array<char, 32> extension{};
  uint32_t maxSizeMiB = 0;  // largest size of a found file, in MiB (the selected copy's value)
  uint8_t family = 0;       // 2 for the compound-document family
  std::array<char, 13> category{};
  uint32_t next = 0;  // in the file: non-zero when another record follows

  // A text field up to its terminating zero (or the field's end).
  template <size_t N>
  static std::string_view Text(const std::array<char, N>& field) {
    size_t length = 0;
    while (length < N && field[length] != 0) ++length;
    return std::string_view(field.data(), length);
  }
  std::string_view TypeNameText() const { return Text(typeName); }
  std::string_view ExtensionText() const { return Text(extension); }
  std::string_view CategoryText() const { return Text(category); }
};

}  // namespace restora
