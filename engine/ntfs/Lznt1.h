// SPDX-License-Identifier: GPL-3.0-or-later
// LZNT1, the compression of NTFS compressed files: telling whether a compression unit holds
// compressed chunks, and decompressing one unit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ByteReader.h"

namespace restora {

// Tells whether unit looks like a sequence of LZNT1 chunks: following the chunk headers from the
// start must either land exactly on the unit's end or meet an end mark (a header of size 0)
// inside it. Returns 1 when it does, 0 otherwise.
int IsCompressedUnit(Bytes unit);

// Decompresses one compression unit held in unit into output, whose size is the unit size (16
// clusters). Every read stays inside unit (bytes past its end read as zeros) and every write
// inside output; a back-reference that reaches before its chunk copies from the chunk's start.
// output is cleared first. Returns the number of bytes produced (at most output.size()).
size_t DecompressUnit(Bytes unit, MutableBytes output);

}  // namespace restora
