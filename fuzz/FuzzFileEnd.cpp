// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the format end readers: the first byte picks the type, the second how much shorter
// than the input the bound is; the rest are the file's bytes. A read at or past the bound, or an
// end past it, is a finding. The zip and compound-document walks that name types run too.
#include <span>

#include "CompoundFile.h"
#include "FileEnd.h"
#include "ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace restora;
  if (size < 2) return 0;
  static const std::vector<std::string_view> types = TypesWithEnds();
  const std::string_view type = types[data[0] % types.size()];
  const std::span<const uint8_t> file(data + 2, size - 2);
  const uint64_t bound = file.size() - std::min<uint64_t>(file.size(), data[1] * 97u);
  auto fetch = [file, bound](uint64_t offset, std::span<uint8_t> buffer) -> size_t {
    if (offset >= bound || buffer.size() > bound - offset) __builtin_trap();  // outside the bound
    const size_t count = offset < file.size() ? std::min<size_t>(buffer.size(), file.size() - offset) : 0;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), count, buffer.begin());
    return count;
  };
  FileBytes bytes(bound, fetch);
  if (FindFileEnd(type, bytes) > bound) __builtin_trap();
  FileBytes zip(bound, fetch);
  if (ReadZipArchive(zip).end > bound) __builtin_trap();
  FileBytes compound(bound, fetch);
  if (ReadCompoundFile(compound).end > bound) __builtin_trap();
  return 0;
}
