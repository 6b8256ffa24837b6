// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing and checking the readable signature list.
#include "SignatureSource.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "CompoundDocument.h"
#include "SignatureFile.h"
#include "ZipDocument.h"

namespace restora {

namespace {

constexpr size_t kFieldCount = 7;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t at = line.find(separator); at != std::string_view::npos; at = line.find(separator, start)) {
    fields.push_back(Trim(line.substr(start, at - start)));
    start = at + 1;
  }
  fields.push_back(Trim(line.substr(start)));
  return fields;
}

bool ParseNumber(std::string_view text, unsigned long limit, unsigned long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  return value <= limit;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex bytes, blanks between bytes allowed.
bool ParseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  for (size_t at = 0; at < text.size();) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    if (at + 1 >= text.size() || HexDigit(text[at]) < 0 || HexDigit(text[at + 1]) < 0) return false;
    bytes.push_back(static_cast<uint8_t>(HexDigit(text[at]) * 16 + HexDigit(text[at + 1])));
    at += 2;
  }
  return true;
}

// Copies text into a fixed field, which must keep room for the terminating zero.
template <size_t N>
bool SetText(std::array<char, N>& field, std::string_view text) {
  if (text.size() >= N) return false;
  field.fill(0);
  std::copy(text.begin(), text.end(), field.begin());
  return true;
}

bool ParseLine(std::string_view line, SignatureRecord& record, std::string& reason) {
  const std::vector<std::string_view> fields = Split(line, '|');
  auto refuse = [&reason](std::string why) {
    reason = std::move(why);
    return false;
  };
  if (fields.size() != kFieldCount) {
    return refuse("expected " + std::to_string(kFieldCount) + " fields separated by '|', found " +
                  std::to_string(fields.size()));
  }
  record = SignatureRecord{};
  if (!SetText(record.typeName, fields[0])) return refuse("name too long");
  if (!SetText(record.extension, fields[1])) return refuse("extension too long");
  if (!SetText(record.category, fields[2])) return refuse("category too long (12 characters at most)");
  unsigned long number = 0;
  if (!ParseNumber(fields[3], kSectorSize - 1, number)) return refuse("offset is not a number below 512");
  record.headerOffset = static_cast<uint16_t>(number);
  std::vector<uint8_t> bytes;
  if (!ParseHex(fields[4], bytes)) return refuse("signature is not a run of hex bytes");
  if (bytes.size() > 255) return refuse("signature longer than 255 bytes");
  record.headerLength = static_cast<uint8_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), record.headerBytes.begin());
  if (!ParseNumber(fields[5], 1, number)) return refuse("selected must be 0 or 1");
  record.selected = static_cast<uint8_t>(number);
  if (!ParseNumber(fields[6], 255, number)) return refuse("family must be a number below 256");
  record.family = static_cast<uint8_t>(number);
  std::string why;
  if (!CheckSignatureRecord(record, &why)) return refuse(why);
  return true;
}

}  // namespace

bool ParseSignatureSource(std::string_view text, std::vector<SignatureRecord>& records, std::string* error) {
  records.clear();
  size_t lineNumber = 0;
  for (const std::string_view rawLine : Split(text, '\n')) {
    ++lineNumber;
    const std::string_view line = Trim(rawLine);
    if (line.empty() || line.front() == '#') continue;
    SignatureRecord record;
    std::string reason;
    if (!ParseLine(line, record, reason)) {
      if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + reason;
      return false;
    }
    records.push_back(record);
  }
  return true;
}

bool CheckShippedList(const std::vector<SignatureRecord>& records, std::string* error) {
  static constexpr uint8_t kMagic[4] = {0xD0, 0xCF, 0x11, 0xE0};
  std::set<std::string> family;
  for (const SignatureRecord& record : records) {
    if (record.family != 2) continue;
    const std::string extension(record.ExtensionText());
    if (!IsCompoundDocumentType(record) || record.headerOffset != 0 || record.headerLength < 4 ||
        std::memcmp(record.headerBytes.data(), kMagic, 4) != 0) {
      if (error != nullptr) {
        *error = "family 2 is for doc, xls and ppt with the signature D0 CF 11 E0 at offset 0; \"" +
                 std::string(record.TypeNameText()) + "\" does not fit";
      }
      return false;
    }
    if (!family.insert(extension).second) {
      if (error != nullptr) *error = "two family records with the extension " + extension;
      return false;
    }
  }
  if (family.size() != 3) {
    if (error != nullptr) *error = "the doc, xls and ppt records of family 2 must all be present";
    return false;
  }
  // The zip family: one record per type its entries can name, each with the local-entry signature.
  static const std::set<std::string> kZipTypes = {"zip", "docx", "xlsx", "pptx", "odt", "ods", "odp", "epub", "jar", "apk"};
  std::set<std::string> zipFamily;
  for (const SignatureRecord& record : records) {
    if (record.family != kZipFamily) continue;
    const std::string extension(record.ExtensionText());
    if (!IsZipDocumentHit(record) || !kZipTypes.count(extension) || !zipFamily.insert(extension).second) {
      if (error != nullptr) {
        *error = "family 3 is for one record each of zip, docx, xlsx, pptx, odt, ods, odp, epub, jar and apk with the "
                 "signature 50 4B 03 04 at offset 0; \"" + std::string(record.TypeNameText()) + "\" does not fit";
      }
      return false;
    }
  }
  return true;
}

}  // namespace restora
