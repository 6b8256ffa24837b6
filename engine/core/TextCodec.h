// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between the UTF-16 names of scan nodes and UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace restora {

// Invalid sequences and lone surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace restora
