// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signature" file of known file types: the 832-byte record codec, loading the full list,
// freeing it, and building the list of the types the user selected.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "EngineState.h"

namespace restora {

// The file's name inside the folder that holds it.
constexpr const char* kSignatureFileName = "Signature";

// Records a file may chain before the reader gives up: a file that never ends its chain (a
// device, a damaged copy) cannot make the reader loop or allocate without bound.
constexpr size_t kMaxSignatureRecords = 16384;

// The size box's default text, in KB.
constexpr std::u16string_view kDefaultMaxSizeText = u"1024";

// Smallest maximum size of a found file, in MiB.
constexpr uint32_t kMinMaxSizeMiB = 1024;

// Decodes one record from its 832 stored bytes (a shorter span reads as if zero-padded).
SignatureRecord DecodeSignatureRecord(std::span<const uint8_t> bytes);

// Encodes one record into its 832 stored bytes; the unused bytes are written as 0.
void EncodeSignatureRecord(const SignatureRecord& record, std::span<uint8_t, kSignatureRecordSize> bytes);

// The bytes of a whole "Signature" file holding records in order: every record's next field is
// 1 except the last one's, which is 0. An empty list gives an empty file.
std::vector<uint8_t> EncodeSignatureFile(const std::vector<SignatureRecord>& records);

// Closes signatureFileHandle if it is open, then opens the file "Signature" in folder for
// reading. Returns 1 when it is open (and stored in signatureFileHandle), 0 when it could not be
// opened (signatureFileHandle is then empty).
[[nodiscard]] int OpenSignatureFile(EngineState& state, const std::filesystem::path& folder);

// Reads the chain of records from signatureFileHandle into signatureList (replacing what it
// held), in file order: record after record while the record just read has a non-zero next
// field. A short read leaves the rest of a record zero, so an empty file gives one all-zero
// record and a truncated one ends at the first record it does not hold in full.
// Returns 1 when signatureList is non-empty afterwards, 0 when no file is open.
[[nodiscard]] int ReadSignatureList(EngineState& state);

// Frees every record of signatureList, leaving it empty. Returns 1, also for an empty list.
int FreeSignatureList(EngineState& state);

// The size box's text read in KB and turned into the maximum size in MiB: the text's leading
// signed decimal integer (saturated to 32 bits; text that is not a number reads as 0), divided
// by 1024 toward zero, taken as an unsigned 32-bit number, and raised to 1024 when below it.
uint32_t MaxSizeMiBFromText(std::u16string_view sizeText);

// Copies every record of fullList whose selected byte is non-zero, with maxSizeMiB set from
// sizeText, into a new list in the reverse of fullList's order, and adds one to count per copy.
// Returns the new list (empty when fullList is empty or nothing is selected).
std::vector<SignatureRecord> BuildSelectedList(const std::vector<SignatureRecord>& fullList,
                                               std::u16string_view sizeText, uint32_t& count);

// Whether the search can use the record: a non-zero signature length that, from its offset,
// stays inside a 512-byte sector. Sets *why (when given) to the reason it cannot.
bool SignatureFitsSector(const SignatureRecord& record, std::string* why = nullptr);

// Whether the record meets everything the rest of the system requires of a shipped record: the
// signature fits the sector, every text field ends with a zero inside its field and holds
// printable ASCII, and extension and category are usable as folder and file-name parts.
// Sets *why (when given) to the first requirement it breaks.
bool CheckSignatureRecord(const SignatureRecord& record, std::string* why = nullptr);

}  // namespace restora
