// SPDX-License-Identifier: GPL-3.0-or-later
// The positioned read every part of the engine uses: sectors of 512 bytes, or bytes at an
// offset, from the open source. All access is read-only.
#pragma once

#include <cstdint>
#include <span>

#include "EngineState.h"

namespace restora {

// Reads buffer.size() bytes (a multiple of 512) at sector × 512. Bytes the source does not
// deliver are left as they were. Returns 1 when the read succeeded, 0 when it failed (also when
// no source is open or the offset does not fit 64 bits).
[[nodiscard]] int ReadSectors(EngineState& state, uint64_t sector, std::span<uint8_t> buffer);

// The same read at a byte offset; for block reads that do not start on a sector multiple of 512
// bytes in memory terms. Stores the count delivered in *delivered when given. Returns 1 when the
// read succeeded, 0 when it failed.
[[nodiscard]] int ReadBytesAt(EngineState& state, uint64_t byteOffset, std::span<uint8_t> buffer,
                              size_t* delivered = nullptr);

// sectors × 512 as a byte offset; false when it does not fit 64 bits.
bool SectorToByteOffset(uint64_t sector, uint64_t& byteOffset);

}  // namespace restora
