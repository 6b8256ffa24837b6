// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the engine reads a source (a volume, a whole disk or an image file). The platform
// layer implements it over a device or file opened read-only; tests and fuzzers use memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace restora {

class SourceReader {
 public:
  virtual ~SourceReader() = default;

  // Reads up to buffer.size() bytes at a byte offset into the buffer. Bytes the source does not
  // deliver (past its end) are left untouched, so a zeroed buffer keeps zeros there. Stores the
  // count delivered in *delivered when given. Returns 1 when the read succeeded (also short at
  // the source's end), 0 when it failed (an I/O error).
  [[nodiscard]] virtual int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) = 0;

  // The source's size in bytes; 0 when it cannot be told.
  virtual uint64_t SizeBytes() const = 0;

  // A short description for messages (usually the path).
  virtual std::string Describe() const = 0;

  // Hints that the source will be read sequentially from here on (read-ahead); optional.
  virtual void AdviseSequential() {}

  // A descriptor of the open source that the platform may copy from inside the kernel, without
  // passing the bytes through memory; -1 when there is none (memory sources, injected faults).
  virtual int CopyHandle() const { return -1; }
};

// A source held in memory; used by tests, fuzzers and the sample builder.
class MemorySourceReader : public SourceReader {
 public:
  explicit MemorySourceReader(std::vector<uint8_t> bytes, std::string name = "memory")
      : bytes_(std::move(bytes)), name_(std::move(name)) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override;
  uint64_t SizeBytes() const override { return bytes_.size(); }
  std::string Describe() const override { return name_; }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::string name_;
};

}  // namespace restora
