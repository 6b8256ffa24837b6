// SPDX-License-Identifier: GPL-3.0-or-later
// Turning a name found on a volume into a name the destination can take as one path component.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace restora {

// Longest name, in UTF-8 bytes, that the destination's file systems take.
constexpr size_t kMaxFileNameBytes = 255;

// The name as UTF-8 with every "/", NUL and control character replaced by "_"; an empty name
// becomes "_", and "." and ".." become "_" and "__". A name longer than kMaxFileNameBytes keeps
// its beginning and its end (where an extension and a "_#_" suffix are) around a "~". Any other
// name, "\" and ":" included, stays as it is.
std::string SafeFileName(std::u16string_view name);

}  // namespace restora
