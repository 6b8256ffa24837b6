// SPDX-License-Identifier: GPL-3.0-or-later
// Where saved files go: a folder tree that the recovery writer walks down and up, creating
// folders and files by bare names relative to the folder it is in. The platform layer implements
// it over a real folder; the engine sees only this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "SourceReader.h"

namespace restora {

// The folder inside the destination that receives every saved entry.
constexpr const char* kSaveFolderName = "#";

// How a creation ended. Exists: the name is taken (by a folder, a file that may not be replaced,
// or anything that is not a plain file); the writer then picks another name. Failed: any other
// reason; retrying the same name would fail again.
enum class CreateStatus : uint8_t { Done = 0, Exists = 1, Failed = 2 };

// Times a saved file takes over from its entry, as seconds and nanoseconds since 1970-01-01 UTC.
struct EntryTimes {
  bool known = false;  // false: the file keeps the time of the save
  int64_t modifiedSeconds = 0;
  uint32_t modifiedNanos = 0;
  int64_t accessedSeconds = 0;
  uint32_t accessedNanos = 0;
};

// A new file being written, front to back.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Asks for the file's times to be set when it is closed; a destination that keeps no times
  // (or was told not to) ignores it.
  virtual void SetTimes(const EntryTimes& times) { (void)times; }
  // Appends bytes. Returns 1 when all of them were accepted, 0 when a write failed.
  [[nodiscard]] virtual int Write(std::span<const uint8_t> bytes) = 0;
  // Appends length bytes of source from byteOffset on without passing them through memory, when
  // the platform can (an in-kernel copy between two files). Returns the bytes appended: length
  // when all were; fewer (0 included) when the caller must append the rest itself.
  virtual uint64_t AppendFromSource(const SourceReader& source, uint64_t byteOffset, uint64_t length) {
    (void)source, (void)byteOffset, (void)length;
    return 0;
  }
  // Writes what is still buffered and closes the file. Returns 1 when everything reached the
  // file, 0 when a write or the close failed.
  [[nodiscard]] virtual int Close() = 0;
};

class Destination {
 public:
  virtual ~Destination() = default;

  // Every name is one path component in UTF-8: not empty, not "." or "..", without "/" or NUL,
  // at most 255 bytes (SafeFileName makes such names). The destination refuses others.

  // Creates a folder in the current folder.
  virtual CreateStatus CreateFolder(const std::string& name) = 0;
  // Creates a file in the current folder, replacing a plain file of that name; on Done *file
  // holds it, open for writing.
  virtual CreateStatus CreateFile(const std::string& name, std::unique_ptr<OutputFile>* file) = 0;
  // Makes the folder name (inside the current folder) the current folder. Returns 1 when done,
  // 0 when it cannot be entered (the current folder stays).
  virtual int EnterFolder(const std::string& name) = 0;
  // Goes back to the folder that was current before the last EnterFolder. Returns 1 when done,
  // 0 when there is no such folder or it cannot be reached again.
  virtual int LeaveFolder() = 0;
  // The reason of the last Failed or 0 result, as one short text ("No space left on device").
  virtual std::string LastError() const = 0;
};

}  // namespace restora
