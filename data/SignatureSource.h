// SPDX-License-Identifier: GPL-3.0-or-later
// The readable source of the "Signature" file: one known file type per line,
//   name | extension | category | offset | signature bytes in hex | selected (0/1) | family
// with blank lines and lines starting with '#' ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "SignatureRecord.h"

namespace restora {

// Parses the text into records in line order. Every record must pass CheckSignatureRecord.
// Returns true when the whole text is valid; false with *error set to "line N: reason" at the
// first fault.
bool ParseSignatureSource(std::string_view text, std::vector<SignatureRecord>& records, std::string* error);

// What the search needs of a shipped list as a whole: the compound-document family present as
// three records with the extensions "doc", "xls" and "ppt", each with family 2 and a signature
// that begins 0xD0 0xCF 0x11 0xE0 at offset 0, and no record outside the family with family 2;
// and every record of family 3 (the zip family) one of its known types, once each, with the
// signature 50 4B 03 04 at offset 0.
// Returns true when the list meets it; false with *error set otherwise.
bool CheckShippedList(const std::vector<SignatureRecord>& records, std::string* error);

}  // namespace restora
