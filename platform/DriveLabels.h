// SPDX-License-Identifier: GPL-3.0-or-later
// Display texts of the drive inventory: sizes in labels and panels, and serial numbers given as
// word-swapped hexadecimal text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace restora {

// "name (12.34 GB)" from a decimal byte count, or "name (512.00 MB))" below 1 GiB: the MB form
// carries a second closing bracket, which the drive trees show as it is. A size text that is not
// a number counts as 0.
std::string SizeLabel(std::string_view name, std::string_view sizeText);

// "12.34 GB" or "512.00 MB", the thresholds of SizeLabel without a name.
std::string ShortSizeText(uint64_t bytes);

// The serial number in a device identifier that holds it as hexadecimal text with the two bytes
// of every 16-bit word swapped ("4757" gives "WG"); keeps only digits and upper-case letters, so
// the result may be empty.
std::string DecodeDiskSerial(std::string_view text);

}  // namespace restora
