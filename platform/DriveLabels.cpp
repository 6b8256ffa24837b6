// SPDX-License-Identifier: GPL-3.0-or-later
// Display texts of the drive inventory.
#include "DriveLabels.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace restora {

namespace {

int64_t ParseSize(std::string_view text) {
  const std::string copy(text);
  errno = 0;
  const long long value = std::strtoll(copy.c_str(), nullptr, 10);
  return errno == 0 ? value : 0;
}

// The GiB figure is taken in single precision, so a size a few bytes short of 1 GiB already
// rounds up to "1.00 GB".
std::string SizeText(int64_t bytes, std::string_view name, bool withName) {
  const float gib = static_cast<float>(bytes) * 0x1p-30f;
  char buffer[64];
  if (gib < 1.0f) {
    std::snprintf(buffer, sizeof buffer, withName ? " (%.2f MB))" : "%.2f MB", static_cast<double>(bytes) * 0x1p-20);
  } else {
    std::snprintf(buffer, sizeof buffer, withName ? " (%.2f GB)" : "%.2f GB", static_cast<double>(gib));
  }
  return withName ? std::string(name) + buffer : std::string(buffer);
}

unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c) - 87;
  return 0;
}

}  // namespace

std::string SizeLabel(std::string_view name, std::string_view sizeText) {
  return SizeText(ParseSize(sizeText), name, true);
}

std::string ShortSizeText(uint64_t bytes) {
  return SizeText(static_cast<int64_t>(bytes), {}, false);
}

std::string DecodeDiskSerial(std::string_view text) {
  std::string swapped(text);
  for (size_t k = 0; k + 4 <= swapped.size(); k += 4) {
    std::swap(swapped[k], swapped[k + 2]);
    std::swap(swapped[k + 1], swapped[k + 3]);
  }
  constexpr std::string_view kTrimmed = "20&._";
  const size_t first = swapped.find_first_not_of(kTrimmed);
  if (first == std::string::npos) return {};
  const size_t last = swapped.find_last_not_of(kTrimmed);
  const std::string_view rest = std::string_view(swapped).substr(first, last - first + 1);

  std::string serial;
  for (size_t i = 0; i < rest.size(); i += 2) {
    const unsigned high = (DigitValue(rest[i]) * 16) & 0xFF;
    const unsigned low = i + 1 < rest.size() ? DigitValue(rest[i + 1]) & 0x0F : 0;
    const char byte = static_cast<char>(high | low);
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z')) serial += byte;
  }
  return serial;
}

}  // namespace restora
