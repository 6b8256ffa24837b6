// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a source (a volume, an image file of one, or a whole disk) and recognising its boot
// sector. All access is read-only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "EngineState.h"
#include "SectorRead.h"

namespace restora {

enum class OpenMode : uint8_t { Drive = 0, Image = 1, PhysicalDisk = 2 };

// Takes the opened source (null when the open failed) into deviceHandle, also on failure; the
// caller runs CleanUp after a 0. Drive and PhysicalDisk write devicePath into volumePath. A disk
// gets totalSectors from its byte size and kind Disk; a drive or image must hold a FAT16, FAT32
// or NTFS boot sector (and, for NTFS, a readable master file table).
// Returns 1 when the source is open and described, 0 otherwise.
[[nodiscard]] int OpenSource(EngineState& state, OpenMode mode, std::unique_ptr<SourceReader> reader,
                             std::u16string_view devicePath = {});

// Reads sector 0 and fills volumeInfo from a FAT16, FAT32 or NTFS boot sector (tested in that
// order); a recognised sector with impossible values is refused with its reason in
// state.refusal. Returns 1 when one of them was recognised, 0 otherwise.
[[nodiscard]] int RecognizeBootSector(EngineState& state);

// Fills volumeInfo from a boot sector held in memory; the recognition rules of
// RecognizeBootSector. Sector numbers and counts are stored in 512-byte units also when the
// volume's own sectors are 1024 to 4096 bytes. A sector that passes a test but whose layout
// values cannot describe a volume (the FATs past its end, a root cluster off the volume …) is
// refused, and *refusal (when given) says why in one line.
// Returns 1 when recognised, 0 otherwise.
[[nodiscard]] int RecognizeBootSectorBytes(VolumeInfo& info, std::span<const uint8_t> sector,
                                           std::string* refusal = nullptr);

}  // namespace restora
