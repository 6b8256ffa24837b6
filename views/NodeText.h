// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of a contents-list row: size, dates, attributes and identifiers, read from the
// node's fields in the layout of the tree's source kind.
#pragma once

#include <QString>
#include <cstdint>

#include "ScanModel.h"

namespace restora {

enum class ListColumn : int { Name = 0, Size, Modified, Created, Attribute, FileId, ParentId, Count };

// "dd-mm-yyyy" of a FILETIME, taken as stored (no conversion between universal and local time).
QString FileTimeDateText(uint64_t fileTime);
// "dd-mm-yyyy" of a FAT date; empty when the date names no calendar day (0, for example).
QString FatDateText(uint16_t fatDate);
// The attribute template with "_" where a bit is clear: "-EIOC--TNDA--SHR" over 16 bits for the
// NTFS layout, "--ADVSHR" over 8 bits for the FAT layout.
QString AttributeText(uint16_t attributes, bool ntfsLayout);
// The cell text of column for node.
QString CellText(const ScanNode& node, ListColumn column, bool ntfsLayout);
// A number for the date columns, so that dates compare by calendar day (0 when there is none).
uint64_t DateKey(const ScanNode& node, ListColumn column, bool ntfsLayout);

}  // namespace restora
