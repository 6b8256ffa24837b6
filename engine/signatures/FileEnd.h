// SPDX-License-Identifier: GPL-3.0-or-later
// Where a found file ends by its own format: the readers of each format, chosen by the found
// file's extension.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "FileBytes.h"

namespace restora {

// The length of the file of type extension whose bytes start at offset 0 of bytes: the end its
// format records or marks, read within the bound. Returns 0 when the format gives no end inside
// the bound (damaged, unclosed, or a type whose format does not record where it ends); the
// caller then keeps the maximum size.
uint64_t FindFileEnd(std::string_view extension, FileBytes& bytes);

// The extensions that have an end reader, in table order (for fuzzing and listings).
std::vector<std::string_view> TypesWithEnds();

// Whether the type ends at the last end marker before its bound (PDF, PostScript), so the bound
// should be the start of the next found file rather than the maximum size.
bool EndIsLastMarker(std::string_view extension);

}  // namespace restora
