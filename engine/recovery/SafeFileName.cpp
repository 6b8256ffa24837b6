// SPDX-License-Identifier: GPL-3.0-or-later
// Safe destination names.
#include "SafeFileName.h"

#include "TextCodec.h"

namespace restora {

namespace {

// Bytes kept from the end of a name that is too long: room for an extension and a few suffixes.
constexpr size_t kKeptTailBytes = 64;

bool IsReplaced(char16_t unit) {
  return unit < 0x20 || unit == u'/' || (unit >= 0x7F && unit <= 0x9F);
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string SafeFileName(std::u16string_view name) {
  std::u16string cleaned(name);
  for (char16_t& unit : cleaned) {
    if (IsReplaced(unit)) unit = u'_';
  }
  std::string out = Utf16ToUtf8(cleaned);
  if (out.empty()) return "_";
  if (out == ".") return "_";
  if (out == "..") return "__";
  if (out.size() <= kMaxFileNameBytes) return out;

  // Cut on character boundaries, so the result stays valid UTF-8.
  size_t tailStart = out.size() - kKeptTailBytes;
  while (tailStart < out.size() && IsContinuationByte(out[tailStart])) ++tailStart;
  size_t headEnd = kMaxFileNameBytes - 1 - (out.size() - tailStart);
  while (headEnd > 0 && IsContinuationByte(out[headEnd])) --headEnd;
  return out.substr(0, headEnd) + "~" + out.substr(tailStart);
}

}  // namespace restora
