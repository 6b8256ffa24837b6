// SPDX-License-Identifier: GPL-3.0-or-later
// Reads through a window on another source.
#include "SourceWindow.h"

#include <algorithm>

namespace restora {

SourceWindow::SourceWindow(SourceReader& inner, uint64_t offset, uint64_t length)
    : inner_(&inner), offset_(offset), length_(length) {}

SourceWindow::SourceWindow(std::unique_ptr<SourceReader> inner, uint64_t offset, uint64_t length)
    : owned_(std::move(inner)), inner_(owned_.get()), offset_(offset), length_(length) {}

int SourceWindow::ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered) {
  if (delivered != nullptr) *delivered = 0;
  if (offset >= length_) return 1;  // past the window's end: nothing to deliver, like a file's end
  const auto count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length_ - offset));
  if (offset_ > UINT64_MAX - offset) return 0;
  return inner_->ReadAt(offset_ + offset, buffer.first(count), delivered);
}

std::string SourceWindow::Describe() const {
  return inner_->Describe() + " at sector " + std::to_string(offset_ / 512);
}

}  // namespace restora
