// SPDX-License-Identifier: GPL-3.0-or-later
// Reading, writing and selecting the records of the "Signature" file.
#include "SignatureFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>

#include "ByteReader.h"

namespace restora {

namespace {

// Field offsets of the stored record.
constexpr size_t kSelectedAt = 1;
constexpr size_t kHeaderLengthAt = 2;
constexpr size_t kHeaderOffsetAt = 3;
constexpr size_t kHeaderBytesAt = 5;
constexpr size_t kTypeNameAt = 518;
constexpr size_t kExtensionAt = 774;
constexpr size_t kMaxSizeAt = 806;
constexpr size_t kFamilyAt = 814;
constexpr size_t kCategoryAt = 815;
constexpr size_t kNextAt = 828;

template <size_t N>
void LoadField(Bytes bytes, size_t offset, std::array<char, N>& field) {
  for (size_t i = 0; i < N; ++i) field[i] = static_cast<char>(LoadU8(bytes, offset + i));
}

template <size_t N>
void StoreField(MutableBytes bytes, size_t offset, const std::array<char, N>& field) {
  for (size_t i = 0; i < N; ++i) StoreU8(bytes, offset + i, static_cast<uint8_t>(field[i]));
}

// The field holds a zero byte, and only printable ASCII before it.
template <size_t N>
bool TerminatedAscii(const std::array<char, N>& field) {
  for (size_t i = 0; i < N; ++i) {
    const auto byte = static_cast<unsigned char>(field[i]);
    if (byte == 0) return true;
    if (byte < 0x20 || byte > 0x7E) return false;
  }
  return false;
}

// Usable as a folder name and inside a file name on Linux and Windows alike.
bool ValidNamePart(std::string_view text, bool allowDot) {
  if (text.empty() || text == "." || text == "..") return false;
  if (text.back() == ' ' || text.back() == '.' || text.front() == ' ') return false;
  for (const char c : text) {
    if (std::strchr("<>:\"/\\|?*", c) != nullptr) return false;
    if (c == '.' && !allowDot) return false;
  }
  return true;
}

bool Refuse(std::string* why, const char* reason) {
  if (why != nullptr) *why = reason;
  return false;
}

}  // namespace

SignatureRecord DecodeSignatureRecord(std::span<const uint8_t> bytes) {
  SignatureRecord record;
  record.selected = LoadU8(bytes, kSelectedAt);
  record.headerLength = LoadU8(bytes, kHeaderLengthAt);
  record.headerOffset = LoadU16(bytes, kHeaderOffsetAt);
  for (size_t i = 0; i < record.headerBytes.size(); ++i) record.headerBytes[i] = LoadU8(bytes, kHeaderBytesAt + i);
  LoadField(bytes, kTypeNameAt, record.typeName);
  LoadField(bytes, kExtensionAt, record.extension);
  record.maxSizeMiB = LoadU32(bytes, kMaxSizeAt);
  record.family = LoadU8(bytes, kFamilyAt);
  LoadField(bytes, kCategoryAt, record.category);
  record.next = LoadU32(bytes, kNextAt);
  return record;
}

void EncodeSignatureRecord(const SignatureRecord& record, std::span<uint8_t, kSignatureRecordSize> bytes) {
  std::fill(bytes.begin(), bytes.end(), uint8_t{0});
  StoreU8(bytes, kSelectedAt, record.selected);
  StoreU8(bytes, kHeaderLengthAt, record.headerLength);
  StoreU16(bytes, kHeaderOffsetAt, record.headerOffset);
  std::copy(record.headerBytes.begin(), record.headerBytes.end(), bytes.begin() + kHeaderBytesAt);
  StoreField(bytes, kTypeNameAt, record.typeName);
  StoreField(bytes, kExtensionAt, record.extension);
  StoreU32(bytes, kMaxSizeAt, record.maxSizeMiB);
  StoreU8(bytes, kFamilyAt, record.family);
  StoreField(bytes, kCategoryAt, record.category);
  StoreU32(bytes, kNextAt, record.next);
}

std::vector<uint8_t> EncodeSignatureFile(const std::vector<SignatureRecord>& records) {
  std::vector<uint8_t> file(records.size() * kSignatureRecordSize);
  for (size_t i = 0; i < records.size(); ++i) {
    SignatureRecord stored = records[i];
    stored.next = i + 1 < records.size() ? 1 : 0;
    EncodeSignatureRecord(stored, std::span<uint8_t, kSignatureRecordSize>(file.data() + i * kSignatureRecordSize,
                                                                            kSignatureRecordSize));
  }
  return file;
}

int OpenSignatureFile(EngineState& state, const std::filesystem::path& folder) {
  state.signatureFileHandle.reset();
  try {
    auto file = std::make_unique<std::ifstream>(folder / kSignatureFileName, std::ios::binary);
    if (!file->is_open()) return 0;
    state.signatureFileHandle = std::move(file);
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

int ReadSignatureList(EngineState& state) {
  state.signatureList.clear();
  std::ifstream* file = state.signatureFileHandle.get();
  if (file == nullptr) return 0;
  try {
    std::array<uint8_t, kSignatureRecordSize> bytes;
    do {
      bytes.fill(0);
      // A short or failed read leaves the rest of the record zero, and so its next field.
      if (file->good()) file->read(reinterpret_cast<char*>(bytes.data()), bytes.size());
      state.signatureList.push_back(DecodeSignatureRecord(bytes));
    } while (state.signatureList.back().next != 0 && state.signatureList.size() < kMaxSignatureRecords);
    if (state.signatureList.back().next != 0) {
      state.ReportDiagnostic("Signature file: the list was cut after " + std::to_string(kMaxSignatureRecords) +
                             " records");
    }
  } catch (const std::bad_alloc&) {
    state.ReportDiagnostic("Signature file: out of memory while reading the list");
  }
  return state.signatureList.empty() ? 0 : 1;
}

int FreeSignatureList(EngineState& state) {
  state.signatureList.clear();
  state.signatureList.shrink_to_fit();
  return 1;
}

uint32_t MaxSizeMiBFromText(std::u16string_view sizeText) {
  // The leading integer as a 32-bit signed reader takes it: blanks, a sign, then digits.
  size_t at = 0;
  while (at < sizeText.size() && (sizeText[at] == u' ' || (sizeText[at] >= u'\t' && sizeText[at] <= u'\r'))) ++at;
  bool negative = false;
  if (at < sizeText.size() && (sizeText[at] == u'+' || sizeText[at] == u'-')) {
    negative = sizeText[at] == u'-';
    ++at;
  }
  int64_t magnitude = 0;
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()} : std::numeric_limits<int32_t>::max();
  for (; at < sizeText.size() && sizeText[at] >= u'0' && sizeText[at] <= u'9'; ++at) {
    magnitude = std::min<int64_t>(magnitude * 10 + (sizeText[at] - u'0'), limit);
  }
  const auto kb = static_cast<int32_t>(negative ? -magnitude : magnitude);
  const auto mib = static_cast<uint32_t>(kb / 1024);  // toward zero, then taken unsigned
  return mib < kMinMaxSizeMiB ? kMinMaxSizeMiB : mib;
}

std::vector<SignatureRecord> BuildSelectedList(const std::vector<SignatureRecord>& fullList,
                                               std::u16string_view sizeText, uint32_t& count) {
  const uint32_t maxSizeMiB = MaxSizeMiBFromText(sizeText);
  std::vector<SignatureRecord> selected;
  for (const SignatureRecord& record : fullList) {
    if (record.selected == 0) continue;
    ++count;
    selected.push_back(record);
    selected.back().maxSizeMiB = maxSizeMiB;
  }
  // Each copy goes in front of the ones before it: the selected list runs backwards.
  std::reverse(selected.begin(), selected.end());
  return selected;
}

bool SignatureFitsSector(const SignatureRecord& record, std::string* why) {
  if (record.headerLength == 0) return Refuse(why, "empty signature (it would match every sector)");
  if (record.headerOffset + size_t{record.headerLength} > kSectorSize) {
    return Refuse(why, "signature reaches past the 512-byte sector");
  }
  return true;
}

bool CheckSignatureRecord(const SignatureRecord& record, std::string* why) {
  if (!SignatureFitsSector(record, why)) return false;
  if (!TerminatedAscii(record.typeName)) return Refuse(why, "name is not printable ASCII ended inside its field");
  if (!TerminatedAscii(record.extension)) return Refuse(why, "extension is not printable ASCII ended inside its field");
  if (!TerminatedAscii(record.category)) return Refuse(why, "category is not printable ASCII ended inside its field");
  if (record.TypeNameText().empty()) return Refuse(why, "empty name");
  if (!ValidNamePart(record.ExtensionText(), false)) return Refuse(why, "extension is not a valid file-name part");
  if (!ValidNamePart(record.CategoryText(), true)) return Refuse(why, "category is not a valid folder name");
  return true;
}

}  // namespace restora
