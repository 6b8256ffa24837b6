// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding FAT directory entries and parsing a folder buffer into pending nodes.
#include "FatDirEntry.h"

#include <array>
#include <cstring>

#include "ScanTree.h"

namespace restora {

namespace {

// Code page 437 from 0x80 up: what DOS and Windows wrote into short names by default.
constexpr std::array<char16_t, 128> kCodePage437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Where the 13 UTF-16 characters of a long-name entry lie: 5, 6 and 2 of them.
constexpr std::array<size_t, 13> kLongNameOffsets = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

char16_t ShortNameChar(uint8_t byte) { return byte < 0x80 ? byte : kCodePage437High[byte - 0x80]; }

// Bytes a stored 8.3 name may hold: no control characters, no lower-case letters (the case flags
// say when a name is shown in lower case) and none of the characters FAT names exclude.
bool IsShortNameByte(uint8_t byte) {
  if (byte < 0x20 || byte == 0x7F || (byte >= 'a' && byte <= 'z')) return false;
  return std::strchr("\"*+,./:;<=>?[\\]|", byte) == nullptr;
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

constexpr uint8_t kLowerCaseName = 0x08;
constexpr uint8_t kLowerCaseExtension = 0x10;

bool IsFolderEnd(Bytes entry) {
  const uint8_t attributes = LoadU8(entry, 0x0B);
  return LoadU8(entry, 0) == 0 || attributes > 0x30 || attributes == 0x18;
}

bool IsLongNameStart(Bytes entry) { return LoadU8(entry, 0x0B) == kAttrLongName && LoadU8(entry, 0x0C) == 0; }

bool IsVolumeLabel(Bytes entry) {
  const uint8_t attributes = LoadU8(entry, 0x0B);
  return (attributes & kAttrVolumeLabel) != 0 && attributes != kAttrLongName;
}

void AppendPending(EngineState& state, ScanNode* node) {
  if (state.pendingLast != nullptr) {
    state.pendingLast->next = node;
  } else {
    state.pendingFirst = node;
  }
  state.pendingLast = node;
}

// Applies the filters to a valid short entry and, when it passes, appends its node. A long name
// that assembled to nothing leaves the entry its short name, so no node is nameless.
void OfferEntry(EngineState& state, FolderParse& parse, Bytes entry, const std::u16string& longName) {
  const VolumeInfo& info = state.volumeInfo;
  const uint32_t firstCluster = (uint32_t{LoadU16(entry, 0x14)} << 16) | LoadU16(entry, 0x1A);
  if (firstCluster <= info.fatKind || firstCluster > info.fatEntryCount) return;
  if (IsPendingDuplicate(parse, firstCluster)) return;
  const uint8_t attributes = LoadU8(entry, 0x0B);
  const bool folder = (attributes & kAttrFolder) != 0;
  const bool deleted = LoadU8(entry, 0) == kDeletedMark;
  const uint8_t status = static_cast<uint8_t>((deleted ? 0 : kStatusLive) | (folder ? kStatusFolder : 0));
  if (!parse.keepAll && status != 0 && !folder) return;  // a live file outside deleted folders

  ScanNode* node = NewNode(state);
  node->name = longName.empty() ? ShortEntryName(entry) : longName;
  node->nameLength = static_cast<uint16_t>(node->name.size());
  node->attributes = attributes;
  node->createdDate = LoadU16(entry, 0x10);
  node->modifiedDate = LoadU16(entry, 0x18);
  node->modified = uint64_t{node->modifiedDate} << 16 | LoadU16(entry, 0x16);
  node->created = uint64_t{LoadU16(entry, 0x12)} << 32 | uint64_t{node->createdDate} << 16 | LoadU16(entry, 0x0E);
  node->size = LoadU32(entry, 0x1C);
  node->firstCluster = firstCluster;
  node->status = status;
  AppendPending(state, node);
  parse.pendingClusters.insert(firstCluster);
}

}  // namespace

bool IsValidShortEntry(Bytes entry) {
  const uint8_t attributes = LoadU8(entry, 0x0B);
  const uint8_t caseFlags = LoadU8(entry, 0x0C);
  if (attributes > 0x30 || attributes == 0x18) return false;
  if (caseFlags != 0 && caseFlags != 0x08 && caseFlags != 0x10 && caseFlags != 0x18) return false;
  // A plain file whose attribute byte is 0 (never archived, or cleared by a backup program) is
  // told from a damaged slot by its name bytes.
  return attributes != 0 || HasShortNameBytes(entry);
}

bool HasShortNameBytes(Bytes entry) {
  // The first byte may be the deletion mark (or 0x05 for a name that starts with 0xE5); it is
  // no character of the name and is not judged.
  const uint8_t first = LoadU8(entry, 0);
  if (first == ' ') return false;
  for (size_t i = 1; i < 11; ++i) {
    if (!IsShortNameByte(LoadU8(entry, i))) return false;
  }
  if (first == kDeletedMark || first == 0x05) return true;
  return IsShortNameByte(first);
}

std::u16string ShortEntryName(Bytes entry) {
  size_t nameEnd = 8;
  while (nameEnd > 1 && LoadU8(entry, nameEnd - 1) == ' ') --nameEnd;
  size_t extensionEnd = 11;
  while (extensionEnd > 8 && LoadU8(entry, extensionEnd - 1) == ' ') --extensionEnd;

  // The case flags ask for a lower-case name part or extension, as the system that wrote the
  // entry shows it.
  const uint8_t caseFlags = LoadU8(entry, 0x0C);
  const bool lowerName = (caseFlags & kLowerCaseName) != 0;
  const bool lowerExtension = (caseFlags & kLowerCaseExtension) != 0;
  std::u16string name;
  for (size_t i = 0; i < nameEnd; ++i) {
    const char16_t c = ShortNameChar(LoadU8(entry, i));
    name.push_back(lowerName ? LowerAscii(c) : c);
  }
  if (extensionEnd > 8) {
    name.push_back(u'.');
    for (size_t i = 8; i < extensionEnd; ++i) {
      const char16_t c = ShortNameChar(LoadU8(entry, i));
      name.push_back(lowerExtension ? LowerAscii(c) : c);
    }
  }
  const uint8_t first = LoadU8(entry, 0);
  if (first == kDeletedMark) {
    name[0] = lowerName ? u'x' : u'X';
  } else if (first == 0x05) {
    name[0] = ShortNameChar(kDeletedMark);  // 0x05 stands for a real first byte 0xE5
  }
  return name;
}

void PrependLongNamePart(std::u16string& longName, Bytes entry) {
  // A part holds at most 13 units: gathered on the stack, since this runs for every long-name
  // entry of a volume.
  std::array<char16_t, std::size(kLongNameOffsets)> part{};
  size_t length = 0;
  for (const size_t offset : kLongNameOffsets) {
    const char16_t unit = LoadU16(entry, offset);
    if (unit == 0) break;
    part[length++] = unit;
  }
  while (length > 0 && part[length - 1] == 0xFFFF) --length;
  static_assert(std::size(kLongNameOffsets) < kLongNameCapacity);
  if (longName.size() > kLongNameCapacity - length) longName.resize(kLongNameCapacity - length);
  longName.insert(0, part.data(), length);
}

bool IsPendingDuplicate(const FolderParse& parse, uint32_t firstCluster) {
  return parse.pendingClusters.contains(firstCluster);
}

int ParseFolderBuffer(EngineState& state, Bytes buffer, FolderParse& parse) {
  const size_t size = buffer.size() - buffer.size() % kDirEntrySize;
  auto entryAt = [&](size_t position) { return buffer.subspan(position, kDirEntrySize); };

  size_t position = 0;
  if (size >= 2 * kDirEntrySize && LoadU8(buffer, 0) == '.' && LoadU8(buffer, 32) == '.' &&
      LoadU8(buffer, 33) == '.') {
    position = 2 * kDirEntrySize;
  }
  if (size >= kDirEntrySize && IsVolumeLabel(entryAt(0))) position += kDirEntrySize;

  while (position < size) {
    const Bytes entry = entryAt(position);
    if (IsFolderEnd(entry)) return 1;
    if (IsLongNameStart(entry)) {
      // The run's parts stand last part first; a run cut by the buffer's end goes on in the
      // next cluster with the name assembled so far.
      while (position < size && LoadU8(entryAt(position), 0x0B) == kAttrLongName) {
        PrependLongNamePart(parse.longName, entryAt(position));
        position += kDirEntrySize;
      }
      if (position >= size) return 0;
      const Bytes shortEntry = entryAt(position);
      position += kDirEntrySize;
      if (IsValidShortEntry(shortEntry)) OfferEntry(state, parse, shortEntry, parse.longName);
      parse.longName.clear();
      continue;
    }
    position += kDirEntrySize;
    // A long name carried over from the previous cluster belongs to this entry; if the entry is
    // no valid short entry the name is dropped with it, as it is within one cluster.
    if (IsValidShortEntry(entry)) OfferEntry(state, parse, entry, parse.longName);
    parse.longName.clear();
  }
  return 0;
}

}  // namespace restora
