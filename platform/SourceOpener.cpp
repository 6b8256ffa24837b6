// SPDX-License-Identifier: GPL-3.0-or-later
// Path-based opening of sources.
#include "SourceOpener.h"

#include "PosixSourceReader.h"

namespace restora {

int OpenSourcePath(EngineState& state, const std::string& path, bool asDisk, std::string* error) {
  std::string openError;
  std::unique_ptr<PosixSourceReader> reader = PosixSourceReader::Open(path, &openError);
  if (!reader) {
    if (error != nullptr) *error = openError;
    return 0;
  }
  return OpenSourceReader(state, std::move(reader), path, asDisk, error);
}

int OpenSourceReader(EngineState& state, std::unique_ptr<PosixSourceReader> reader, const std::string& path,
                     bool asDisk, std::string* error) {
  const bool blockDevice = reader->IsBlockDevice();
  const OpenMode mode = asDisk ? OpenMode::PhysicalDisk : (blockDevice ? OpenMode::Drive : OpenMode::Image);
  const std::u16string devicePath = mode == OpenMode::Image ? std::u16string() : Utf8ToUtf16(path);
  if (OpenSource(state, mode, std::move(reader), devicePath)) return 1;
  if (error != nullptr) {
    if (asDisk) {
      *error = "cannot tell the size of " + path;
    } else if (state.volumeInfo.kind == SourceKind::Ntfs) {
      *error = "NTFS volume without a readable master file table: " + path;
    } else {
      *error = "not a FAT16, FAT32 or NTFS volume: " + path;
    }
    // An image file is refused with the program's own message; the detail follows it.
    if (mode == OpenMode::Image) *error = "Failed to open image file or image file is not valid (" + *error + ")";
  }
  return 0;
}

}  // namespace restora
