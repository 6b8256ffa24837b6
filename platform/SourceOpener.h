// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a source by its path for the engine, with one clear message on failure.
#pragma once

#include <string>

#include "EngineState.h"
#include "PosixSourceReader.h"
#include "TextCodec.h"
#include "VolumeAccess.h"

namespace restora {

// Opens path read-only and hands it to OpenSource: as a whole disk when asDisk, otherwise as a
// volume (a block device is opened as a drive, a regular file as an image). On failure sets
// *error to one line ("cannot open PATH: …", "PATH is a directory", "not a FAT16, FAT32 or NTFS
// volume: PATH", …). Returns 1 when the source is open and described, 0 otherwise; the caller
// runs CleanUp after a 0.
[[nodiscard]] int OpenSourcePath(EngineState& state, const std::string& path, bool asDisk, std::string* error);

// OpenSourcePath for a reader already open on path (a descriptor handed out by the system's disk
// service). Returns 1 when the source is open and described, 0 otherwise.
[[nodiscard]] int OpenSourceReader(EngineState& state, std::unique_ptr<PosixSourceReader> reader,
                                   const std::string& path, bool asDisk, std::string* error);

}  // namespace restora
