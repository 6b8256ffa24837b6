// SPDX-License-Identifier: GPL-3.0-or-later
// The zip walk: local entries, central directory, end records; and the document type the entry
// names reveal.
#include "ZipArchive.h"

#include <algorithm>
#include <string>

#include "FormatEnds.h"

namespace restora {

namespace {

constexpr uint32_t kLocal = 0x04034B50;
constexpr uint32_t kCentral = 0x02014B50;
constexpr uint32_t kEnd = 0x06054B50;
constexpr uint32_t kEnd64 = 0x06064B50;
constexpr uint32_t kLocator64 = 0x07064B50;
constexpr uint32_t kDescriptor = 0x08074B50;
constexpr uint64_t kMaxEntries = 1 << 20;
constexpr size_t kNameBytes = 64;  // enough of a name to classify it

struct Names {
  bool contentTypes = false, word = false, excel = false, powerPoint = false;
  bool androidManifest = false, dex = false, javaManifest = false;
  std::string mimetype;  // the first entry's content when it is the stored "mimetype"

  void Add(std::string_view name) {
    contentTypes = contentTypes || name == "[Content_Types].xml";
    word = word || name.starts_with("word/");
    excel = excel || name.starts_with("xl/");
    powerPoint = powerPoint || name.starts_with("ppt/");
    androidManifest = androidManifest || name == "AndroidManifest.xml";
    dex = dex || name == "classes.dex";
    javaManifest = javaManifest || name == "META-INF/MANIFEST.MF";
  }

  std::string_view Type() const {
    if (mimetype == "application/vnd.oasis.opendocument.text") return "odt";
    if (mimetype == "application/vnd.oasis.opendocument.spreadsheet") return "ods";
    if (mimetype == "application/vnd.oasis.opendocument.presentation") return "odp";
    if (mimetype == "application/epub+zip") return "epub";
    if (contentTypes && word) return "docx";
    if (contentTypes && excel) return "xlsx";
    if (contentTypes && powerPoint) return "pptx";
    if (androidManifest && dex) return "apk";
    if (javaManifest) return "jar";
    return "zip";
  }
};

std::string ReadName(FileBytes& bytes, uint64_t at, uint16_t length) {
  std::string name(std::min<size_t>(length, kNameBytes), '\0');
  if (!bytes.Read(at, std::span(reinterpret_cast<uint8_t*>(name.data()), name.size()))) return {};
  return name;
}

// The sizes a zip64 extra field holds for a local entry whose 32-bit fields are all ones.
bool Zip64CompressedSize(FileBytes& bytes, uint64_t extra, uint16_t extraLength, uint32_t plainSize, uint64_t& size) {
  for (uint64_t at = extra; at + 4 <= extra + extraLength;) {
    uint16_t id = 0, length = 0;
    if (!bytes.U16LE(at, id) || !bytes.U16LE(at + 2, length)) return false;
    if (id == 1) return bytes.U64LE(at + 4 + (plainSize == 0xFFFFFFFF ? 8 : 0), size);
    at += 4 + uint64_t{length};
  }
  return false;
}

// The end of an entry whose sizes follow its data in a descriptor: the first descriptor whose
// compressed size equals the data's length. Returns 0 when there is none.
uint64_t DescriptorEnd(FileBytes& bytes, uint64_t data) {
  for (uint64_t at = data;; ) {
    // Byte by byte through the window: the data may hold many near-matches.
    at = bytes.FindByte(at, bytes.Bound(), 'P');
    if (at == FileBytes::kNone) return 0;
    if (!bytes.Equals(at, "PK\x07\x08")) {
      ++at;
      continue;
    }
    uint32_t size32 = 0;
    uint64_t size64 = 0;
    if (bytes.U32LE(at + 8, size32) && size32 == at - data) return at + 16;
    if (bytes.U64LE(at + 8, size64) && size64 == at - data) return at + 24;
    ++at;
  }
}

}  // namespace

ZipArchiveInfo ReadZipArchive(FileBytes& bytes) {
  ZipArchiveInfo info;
  Names names;
  uint64_t at = 0;
  uint32_t signature = 0;
  uint64_t entries = 0;
  // Local entries.
  for (; entries < kMaxEntries; ++entries) {
    if (!bytes.U32LE(at, signature) || signature != kLocal) break;
    uint16_t flags = 0, method = 0, nameLength = 0, extraLength = 0;
    uint32_t compressed = 0, plain = 0;
    if (!bytes.U16LE(at + 6, flags) || !bytes.U16LE(at + 8, method) || !bytes.U32LE(at + 18, compressed) ||
        !bytes.U32LE(at + 22, plain) || !bytes.U16LE(at + 26, nameLength) || !bytes.U16LE(at + 28, extraLength)) {
      break;
    }
    const std::string name = ReadName(bytes, at + 30, nameLength);
    names.Add(name);
    const uint64_t data = at + 30 + nameLength + extraLength;
    if (entries == 0 && name == "mimetype" && method == 0 && compressed == plain && compressed <= kNameBytes) {
      names.mimetype = ReadName(bytes, data, static_cast<uint16_t>(compressed));
    }
    uint64_t size = compressed;
    if (compressed == 0xFFFFFFFF && !Zip64CompressedSize(bytes, at + 30 + nameLength, extraLength, plain, size)) break;
    if ((flags & 0x08) != 0 && size == 0) {  // sizes only in the descriptor behind the data
      at = DescriptorEnd(bytes, data);
      if (at == 0) break;
      continue;
    }
    at = data + size;
    if ((flags & 0x08) != 0) {  // a descriptor follows anyway: with or without its signature
      uint32_t next = 0;
      if (bytes.U32LE(at, next) && next == kDescriptor) at += 4;
      at += 12;
      if (bytes.U32LE(at, next) && next != kLocal && next != kCentral) at += 8;  // zip64 sizes
    }
  }
  // The central directory, then the zip64 records, then the end record and its comment.
  const uint64_t central = at;
  for (uint64_t k = 0; k < kMaxEntries; ++k) {
    if (!bytes.U32LE(at, signature) || signature != kCentral) break;
    uint16_t nameLength = 0, extraLength = 0, commentLength = 0;
    if (!bytes.U16LE(at + 28, nameLength) || !bytes.U16LE(at + 30, extraLength) ||
        !bytes.U16LE(at + 32, commentLength)) {
      break;
    }
    names.Add(ReadName(bytes, at + 46, nameLength));
    at += 46 + uint64_t{nameLength} + extraLength + commentLength;
  }
  info.type = names.Type();
  if (bytes.U32LE(at, signature) && signature == kEnd64) {
    uint64_t size = 0;
    if (!bytes.U64LE(at + 4, size) || size > bytes.Bound()) return info;
    at += 12 + size;
  }
  if (bytes.U32LE(at, signature) && signature == kLocator64) at += 20;
  uint32_t directoryAt = 0;
  uint16_t commentLength = 0;
  if (!bytes.U32LE(at, signature) || signature != kEnd || !bytes.U32LE(at + 16, directoryAt) ||
      !bytes.U16LE(at + 20, commentLength)) {
    return info;
  }
  // The end record must point back at the directory just walked (all ones: see the zip64 record).
  if (directoryAt != central && directoryAt != 0xFFFFFFFF) return info;
  const uint64_t end = at + 22 + commentLength;
  if (bytes.Holds(0, end)) info.end = end;
  return info;
}

uint64_t ZipEnd(FileBytes& bytes) { return ReadZipArchive(bytes).end; }

}  // namespace restora
