// SPDX-License-Identifier: GPL-3.0-or-later
// A source that wraps another and fails chosen sectors or cuts reads short, to test how every
// job copes with a failing medium.
#pragma once

#include <cstdint>
#include <memory>
#include <set>

#include "SourceReader.h"

namespace restora {

class FaultInjectingReader : public SourceReader {
 public:
  explicit FaultInjectingReader(std::unique_ptr<SourceReader> inner) : inner_(std::move(inner)) {}

  // A read that touches this sector fails outright and delivers nothing.
  void FailSector(uint64_t sector) { failing_.insert(sector); }
  // Every read delivers at most this many bytes and still reports success (0: no limit).
  void LimitReadsTo(size_t bytes) { shortReadLimit_ = bytes; }
  // Fail every read after this many reads have been served (counting from now).
  void FailAfterReads(uint64_t count) { failAfter_ = reads_ + count; }

  uint64_t ReadCount() const { return reads_; }

  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override;
  uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::string Describe() const override { return inner_->Describe(); }

 private:
  std::unique_ptr<SourceReader> inner_;
  std::set<uint64_t> failing_;
  size_t shortReadLimit_ = 0;
  uint64_t reads_ = 0;
  uint64_t failAfter_ = ~uint64_t{0};
};

}  // namespace restora
