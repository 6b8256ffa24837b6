// SPDX-License-Identifier: GPL-3.0-or-later
// ISO base media files (MP4, QuickTime, 3GPP, M4A, HEIF, CR3) and JPEG 2000: the walk over the
// top-level boxes. The file ends where the next bytes are not a known top-level box; it is
// complete only when its essential box was among them.
#include "FormatEnds.h"

#include <algorithm>
#include <array>

namespace restora {

namespace {

constexpr std::array<std::string_view, 30> kTopLevel = {
    "ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta", "moof", "mfra",
    "pdin", "styp", "sidx", "ssix", "prft", "emsg", "pnot", "PICT", "junk", "idat",
    "jP  ", "rreq", "jp2h", "jp2c", "jp2i", "xml ", "uinf", "res ", "asoc", "jpch"};

constexpr uint64_t kMaxBoxes = 1 << 20;

}  // namespace

uint64_t IsoMediaEnd(FileBytes& bytes, std::string_view essential) {
  bool complete = false, typed = false;
  uint64_t at = 0;
  for (uint64_t box = 0; box < kMaxBoxes; ++box) {
    uint32_t size32 = 0;
    char type[4];
    if (!bytes.U32BE(at, size32) || !bytes.Read(at + 4, std::span(reinterpret_cast<uint8_t*>(type), 4))) break;
    const std::string_view name(type, 4);
    if (std::find(kTopLevel.begin(), kTopLevel.end(), name) == kTopLevel.end()) break;
    // A second file type box (or JPEG 2000 signature box) starts another file.
    if ((name == "ftyp" && typed) || (name == "jP  " && box > 0)) break;
    typed = typed || name == "ftyp";
    uint64_t size = size32;
    if (size32 == 1) {
      if (!bytes.U64BE(at + 8, size) || size < 16) return 0;
    } else if (size32 == 0 || size32 < 8) {
      return 0;  // a box that runs to the end of the file: that end is not recorded
    }
    if (!bytes.Holds(at, size)) return 0;
    if (name == essential) complete = true;
    at += size;
  }
  return complete ? at : 0;
}

}  // namespace restora
