// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping what a job writes off the source it reads, and telling whether an open source is the
// volume a saved scan was made from.
#pragma once

#include <string>

#include "ScanModel.h"

namespace restora {

class PosixDestination;

// Why writing the file out would change the source, or empty when it would not: out is the
// source itself (under any name), or the source is a block device that holds the file system
// out would be written to (directly, or as the disk of that partition).
std::string WhyOutputTouchesSource(const std::string& source, const std::string& out);

// Why saving below folder would change the source (a destination on the source device, or the
// source file itself reachable there), or empty when saving there is fine.
std::string WhyDestinationTouchesSource(const std::string& source, const std::string& folder);

// Makes destination treat path as a file it may never replace, when path is a regular file (an
// image file being recovered from, or the scan file the tree came from).
void ProtectIfFile(PosixDestination& destination, const std::string& path);

// True when a and b describe the same volume: the fields that place data on it agree. A scan file
// made from another volume differs here.
bool SameVolume(const VolumeInfo& a, const VolumeInfo& b);

// "whole-disk", "FAT16", "FAT32" or "NTFS".
const char* SourceKindText(SourceKind kind);

}  // namespace restora
