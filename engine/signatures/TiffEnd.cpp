// SPDX-License-Identifier: GPL-3.0-or-later
// TIFF and the camera raw files built on it: the end is the furthest byte that any IFD, tag
// value, strip, tile or embedded JPEG reaches, over the IFD chain and its sub-IFDs (Exif, GPS,
// interoperability and raw sub-images). A file whose IFDs name no image data has no certain end.
#include "FormatEnds.h"

#include <algorithm>
#include <set>
#include <vector>

namespace restora {

namespace {

constexpr size_t kMaxIfds = 256;
constexpr uint16_t kMaxEntries = 4096;
constexpr uint32_t kMaxPieces = 1 << 20;  // strips or tiles of one image

struct Tiff {
  FileBytes& bytes;
  bool big;
  bool U16(uint64_t at, uint16_t& v) { return big ? bytes.U16BE(at, v) : bytes.U16LE(at, v); }
  bool U32(uint64_t at, uint32_t& v) { return big ? bytes.U32BE(at, v) : bytes.U32LE(at, v); }
};

uint64_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint64_t valuesAt = 0;  // where the values lie: inline in the entry or at its offset
};

// The k-th value of a SHORT or LONG entry.
bool Value(Tiff& tiff, const Entry& entry, uint32_t k, uint64_t& value) {
  if (entry.type == 3) {
    uint16_t v = 0;
    if (!tiff.U16(entry.valuesAt + uint64_t{k} * 2, v)) return false;
    value = v;
    return true;
  }
  if (entry.type == 4 || entry.type == 13) {
    uint32_t v = 0;
    if (!tiff.U32(entry.valuesAt + uint64_t{k} * 4, v)) return false;
    value = v;
    return true;
  }
  return false;
}

}  // namespace

uint64_t TiffEnd(FileBytes& bytes) {
  uint8_t head[4];
  if (!bytes.Read(0, head)) return 0;
  const bool big = head[0] == 'M' && head[1] == 'M';
  if (!big && !(head[0] == 'I' && head[1] == 'I')) return 0;
  Tiff tiff{bytes, big};
  uint16_t magic = 0;
  uint32_t first = 0;
  if (!tiff.U16(2, magic) || magic != 42 || !tiff.U32(4, first)) return 0;

  std::vector<uint64_t> pending{first};
  std::set<uint64_t> seen;
  uint64_t end = 8;
  bool imageData = false;
  while (!pending.empty()) {
    const uint64_t ifd = pending.back();
    pending.pop_back();
    if (ifd < 8 || !seen.insert(ifd).second) continue;
    if (seen.size() > kMaxIfds) return 0;
    uint16_t count = 0;
    if (!tiff.U16(ifd, count) || count == 0 || count > kMaxEntries) return 0;
    const uint64_t entriesEnd = ifd + 2 + uint64_t{count} * 12;
    uint32_t next = 0;
    if (!tiff.U32(entriesEnd, next)) return 0;
    end = std::max(end, entriesEnd + 4);
    if (next != 0 && pending.size() < kMaxIfds) pending.push_back(next);

    Entry offsets[3], lengths[3];  // strips, tiles, embedded JPEG
    for (uint16_t i = 0; i < count; ++i) {
      const uint64_t at = ifd + 2 + uint64_t{i} * 12;
      Entry entry;
      uint32_t inlineOffset = 0;
      if (!tiff.U16(at, entry.tag) || !tiff.U16(at + 2, entry.type) || !tiff.U32(at + 4, entry.count) ||
          !tiff.U32(at + 8, inlineOffset)) {
        return 0;
      }
      const uint64_t valueBytes = TypeSize(entry.type) * entry.count;
      entry.valuesAt = valueBytes <= 4 ? at + 8 : inlineOffset;
      if (valueBytes > 4) end = std::max(end, entry.valuesAt + valueBytes);
      switch (entry.tag) {
        case 273: offsets[0] = entry; break;
        case 279: lengths[0] = entry; break;
        case 324: offsets[1] = entry; break;
        case 325: lengths[1] = entry; break;
        case 513: offsets[2] = entry; break;
        case 514: lengths[2] = entry; break;
        case 330: case 34665: case 34853: case 40965:  // sub-IFDs, Exif, GPS, interoperability
          for (uint32_t k = 0; k < entry.count && k < 64; ++k) {
            uint64_t sub = 0;
            if (pending.size() < kMaxIfds && Value(tiff, entry, k, sub)) pending.push_back(sub);
          }
          break;
        default: break;
      }
    }
    for (size_t kind = 0; kind < 3; ++kind) {
      if (offsets[kind].count == 0 || offsets[kind].count != lengths[kind].count) continue;
      if (offsets[kind].count > kMaxPieces) return 0;
      for (uint32_t k = 0; k < offsets[kind].count; ++k) {
        uint64_t offset = 0, length = 0;
        if (!Value(tiff, offsets[kind], k, offset) || !Value(tiff, lengths[kind], k, length)) return 0;
        end = std::max(end, offset + length);
        imageData = true;
      }
    }
  }
  return imageData && bytes.Holds(0, end) ? end : 0;
}

uint64_t RafEnd(FileBytes& bytes) {
  if (!bytes.Equals(0, "FUJIFILMCCD-RAW ")) return 0;
  // Three parts, each as a big-endian offset and length: the JPEG preview, the CFA header and
  // the CFA (raw) data.
  uint64_t end = 0;
  for (uint64_t at = 84; at < 108; at += 8) {
    uint32_t offset = 0, length = 0;
    if (!bytes.U32BE(at, offset) || !bytes.U32BE(at + 4, length)) return 0;
    end = std::max(end, uint64_t{offset} + length);
  }
  return end > 108 && bytes.Holds(0, end) ? end : 0;
}

}  // namespace restora
