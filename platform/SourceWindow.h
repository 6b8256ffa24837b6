// SPDX-License-Identifier: GPL-3.0-or-later
// A source that is a stretch of another source: one partition of a whole disk, read as if it
// were a volume of its own (its byte 0 is the partition's first byte).
#pragma once

#include <cstdint>
#include <memory>

#include "SourceReader.h"

namespace restora {

class SourceWindow final : public SourceReader {
 public:
  // A window on a source that someone else keeps open for the window's whole life.
  SourceWindow(SourceReader& inner, uint64_t offset, uint64_t length);
  // A window that owns its source.
  SourceWindow(std::unique_ptr<SourceReader> inner, uint64_t offset, uint64_t length);

  // Reads inside the window only: what lies past its end (or past the inner source's end) is not
  // delivered.
  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override;
  uint64_t SizeBytes() const override { return length_; }
  std::string Describe() const override;
  void AdviseSequential() override { inner_->AdviseSequential(); }

 private:
  std::unique_ptr<SourceReader> owned_;
  SourceReader* inner_;
  uint64_t offset_;
  uint64_t length_;
};

}  // namespace restora
