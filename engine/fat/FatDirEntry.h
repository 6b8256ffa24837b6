// SPDX-License-Identifier: GPL-3.0-or-later
// FAT directory entries: short names, long-name parts, the validity test of a short entry, and
// the parse of one buffer of a folder (a cluster, or the FAT16 root area) into pending nodes.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "ByteReader.h"
#include "EngineState.h"

namespace restora {

constexpr size_t kDirEntrySize = 32;
constexpr size_t kLongNameCapacity = 256;  // UTF-16 units a long name keeps; the rest is dropped

constexpr uint8_t kAttrVolumeLabel = 0x08;
constexpr uint8_t kAttrFolder = 0x10;
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint8_t kDeletedMark = 0xE5;

// What the reading of one folder carries from buffer to buffer: the folder, whether all its
// entries are kept, the long name assembled so far (it may straddle a cluster boundary), and the
// first clusters of the entries already pending, so that a duplicate is found in constant time.
struct FolderParse {
  FolderParse(ScanNode* readFolder, bool withinDeleted) : folder(readFolder), keepAll(withinDeleted) {}
  ScanNode* folder;
  bool keepAll;  // the folder is deleted or lies inside a deleted folder
  std::u16string longName;
  std::unordered_set<uint32_t> pendingClusters;
};

// A FAT node keeps its entry's full times in memory in the fields the FAT layout does not store:
// modified := last-write date << 16 | time, created := access date << 32 | creation date << 16 |
// time. A node read from a scan file has only its dates (createdDate, modifiedDate).
inline uint16_t FatStampDate(uint64_t stamp) { return static_cast<uint16_t>(stamp >> 16); }
inline uint16_t FatStampTime(uint64_t stamp) { return static_cast<uint16_t>(stamp); }
inline uint16_t FatStampAccessDate(uint64_t created) { return static_cast<uint16_t>(created >> 32); }

// A short entry that may become a node: its attribute is not above 0x30 and not 0x18, its byte
// 0x0C (the case flags) is 0, 0x08, 0x10 or 0x18, and an attribute of 0 comes with name bytes an
// 8.3 name may hold (HasShortNameBytes).
bool IsValidShortEntry(Bytes entry);

// True when the 11 name bytes are what an 8.3 name holds: no control characters, no lower-case
// letters, none of " * + , . / : ; < = > ? [ \ ] |, and no space first. A first byte that is the
// deletion mark (or 0x05) is not judged.
bool HasShortNameBytes(Bytes entry);

// The 8.3 name of a short entry: the name part without trailing spaces (its first byte always
// stays), then "." and the extension when that is not blank, each in lower case when its case
// flag (0x08 name, 0x10 extension) is set. Bytes from 0x80 up are read as code page 437, the FAT
// default; a leading 0x05 stands for a name that starts with byte 0xE5. A deleted entry gets "X"
// as its first character.
std::u16string ShortEntryName(Bytes entry);

// Puts the 13 characters of a long-name entry, cut at the first 0 and without trailing 0xFFFF
// padding, in front of longName, keeping at most kLongNameCapacity units.
void PrependLongNamePart(std::u16string& longName, Bytes entry);

// True when a node already pending for this folder has firstCluster.
bool IsPendingDuplicate(const FolderParse& parse, uint32_t firstCluster);

// Turns the entries of one buffer of parse.folder into nodes appended to the state's pending
// list (pendingFirst … pendingLast): deleted files, every folder, and every entry when keepAll,
// with a first cluster above fatKind and at most fatEntryCount, the first of several
// entries with one first cluster. The first entry of a buffer that is "." followed by "..", or
// a volume label, is skipped. Returns 1 when the folder's end (a first byte 0, or an attribute
// above 0x30 or equal to 0x18) lies in the buffer, 0 when the buffer was used up without it and
// the next cluster is to be parsed.
int ParseFolderBuffer(EngineState& state, Bytes buffer, FolderParse& parse);

}  // namespace restora
