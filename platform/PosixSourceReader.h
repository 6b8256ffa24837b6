// SPDX-License-Identifier: GPL-3.0-or-later
// A source read from a block device or a regular file, opened read-only; never for writing.
#pragma once

#include <memory>
#include <string>

#include "SourceReader.h"

struct stat;

namespace restora {

class PosixSourceReader : public SourceReader {
 public:
  // Opens path read-only. On failure returns null and sets *error to one line such as
  // "cannot open PATH: No such file or directory" or "PATH is a directory".
  static std::unique_ptr<PosixSourceReader> Open(const std::string& path, std::string* error);
  // Takes over a descriptor opened elsewhere (a device handed out by the system's disk service),
  // named path in messages. Refuses, and closes, a descriptor that is open for writing.
  static std::unique_ptr<PosixSourceReader> Adopt(int fd, const std::string& path, std::string* error);
  ~PosixSourceReader() override;

  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override;
  uint64_t SizeBytes() const override { return size_; }
  std::string Describe() const override { return path_; }
  void AdviseSequential() override;
  int CopyHandle() const override { return fd_; }

  bool IsBlockDevice() const { return blockDevice_; }
  // The device number of the file system that holds the file, or the device itself.
  uint64_t DeviceId() const { return deviceId_; }

 private:
  // The reader of fd, open read-only, whose stat is info.
  static std::unique_ptr<PosixSourceReader> Wrap(int fd, const std::string& path, const struct stat& info);
  PosixSourceReader(int fd, std::string path, uint64_t size, bool blockDevice, uint64_t deviceId)
      : fd_(fd), path_(std::move(path)), size_(size), blockDevice_(blockDevice), deviceId_(deviceId) {}

  int fd_;
  std::string path_;
  uint64_t size_;
  bool blockDevice_;
  uint64_t deviceId_;
};

}  // namespace restora
