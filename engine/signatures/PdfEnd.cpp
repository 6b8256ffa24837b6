// SPDX-License-Identifier: GPL-3.0-or-later
// PDF and PostScript: the last end-of-file comment before the bound, with its line break. A PDF
// updated in place carries one such comment per revision; the last one ends the file.
#include "FormatEnds.h"

namespace restora {

uint64_t PdfEnd(FileBytes& bytes) {
  const uint64_t marker = bytes.FindLast(0, bytes.Bound(), "%%EOF");
  if (marker == FileBytes::kNone) return 0;
  uint64_t end = marker + 5;
  uint8_t byte = 0;
  if (bytes.U8(end, byte) && byte == '\r') ++end;
  if (bytes.U8(end, byte) && byte == '\n') ++end;
  return end;
}

uint64_t RtfEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "{\\rtf")) return 0;
  // Braces nest groups; a backslash escapes the next character (\{ \} \\).
  uint64_t depth = 0;
  for (uint64_t at = 0; at < bytes.Bound(); ++at) {
    uint8_t c = 0;
    if (!bytes.U8(at, c)) return 0;
    if (c == '\\') {
      ++at;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 0) return 0;
      if (--depth == 0) {
        uint64_t end = at + 1;
        uint8_t byte = 0;
        if (bytes.U8(end, byte) && byte == '\r') ++end;
        if (bytes.U8(end, byte) && byte == '\n') ++end;
        return end;
      }
    } else if (c == 0) {
      return 0;  // text documents hold no zero bytes
    }
  }
  return 0;
}

}  // namespace restora
