// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signature" file the build generates: every record meets what the search, the folder
// names and the file-type list require, the types users look for are there, and the binary file
// is exactly its readable source.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "CompoundDocument.h"
#include "SignatureFile.h"
#include "SignatureMatcher.h"
#include "SignatureSource.h"
#include "TestSupport.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

const fs::path kShippedFile = RESTORA_SIGNATURE_FILE;

std::vector<SignatureRecord> LoadShipped() {
  EngineState state;
  EXPECT_EQ(OpenSignatureFile(state, kShippedFile.parent_path()), 1) << kShippedFile;
  EXPECT_EQ(ReadSignatureList(state), 1);
  return state.signatureList;
}

// The field holds printable ASCII up to a zero byte that lies inside it; returns the text.
template <size_t N>
bool TerminatedText(const std::array<char, N>& field, std::string& text) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  if (end == field.end()) return false;
  text.assign(field.begin(), end);
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

TEST(SignatureShipped, BinaryFileIsTheEncodedTextSource) {
  const std::vector<uint8_t> shipped = test::ReadWholeFile(kShippedFile.string());
  const std::vector<uint8_t> text = test::ReadWholeFile(std::string(RESTORA_SOURCE_DIR) + "/data/signatures.txt");
  ASSERT_FALSE(text.empty());
  std::vector<SignatureRecord> records;
  std::string error;
  ASSERT_TRUE(ParseSignatureSource(std::string(text.begin(), text.end()), records, &error)) << error;
  EXPECT_EQ(shipped, EncodeSignatureFile(records));
  EXPECT_EQ(shipped.size() % kSignatureRecordSize, 0u);
  EXPECT_EQ(LoadShipped().size(), records.size());  // the chain covers the whole file
}

TEST(SignatureShipped, EveryRecordMeetsTheFormatsRequirements) {
  const std::vector<SignatureRecord> list = LoadShipped();
  std::map<std::pair<uint16_t, std::string>, std::vector<std::string>> bySignature;
  for (const SignatureRecord& record : list) {
    std::string name, extension, category;
    ASSERT_TRUE(TerminatedText(record.typeName, name));
    ASSERT_TRUE(TerminatedText(record.extension, extension)) << name;
    ASSERT_TRUE(TerminatedText(record.category, category)) << name;
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.empty());
    EXPECT_GE(record.headerLength, 4) << "too short to keep ordinary data from matching";
    EXPECT_LE(record.headerOffset + record.headerLength, 512);
    EXPECT_LE(record.selected, 1);
    // Extensions and categories become folder and file names on any system.
    EXPECT_FALSE(extension.empty());
    EXPECT_TRUE(std::all_of(extension.begin(), extension.end(), [](char c) { return std::isalnum(c) != 0; }));
    EXPECT_FALSE(category.empty());
    EXPECT_TRUE(std::all_of(category.begin(), category.end(),
                            [](char c) { return std::isalnum(c) != 0 || c == ' ' || c == '-'; }));
    EXPECT_NE(category.back(), ' ');
    EXPECT_EQ(record.family == 2, IsCompoundDocumentHit(record));
    bySignature[{record.headerOffset,
                 std::string(record.headerBytes.begin(), record.headerBytes.begin() + record.headerLength)}]
        .push_back(extension);
  }
  // Only the compound-document and zip families share a signature; any other pair would file every hit twice.
  for (const auto& [signature, extensions] : bySignature) {
    if (extensions.size() > 1 && signature.second != "PK\x03\x04") {
      EXPECT_EQ(extensions, (std::vector<std::string>{"doc", "xls", "ppt"}));
    }
  }
}

TEST(SignatureShipped, HoldsTheTypesUsersLookFor) {
  const std::vector<SignatureRecord> list = LoadShipped();
  std::set<std::string> extensions, categories;
  std::map<std::string, const SignatureRecord*> firstOf;
  for (const SignatureRecord& record : list) {
    extensions.insert(std::string(record.ExtensionText()));
    categories.insert(std::string(record.CategoryText()));
    firstOf.emplace(std::string(record.ExtensionText()), &record);
  }
  EXPECT_GE(extensions.size(), 40u);
  for (const char* wanted : {"jpg", "png", "gif", "bmp", "tif", "cr2", "raf", "pdf", "doc", "xls", "ppt", "docx",
                             "zip", "rar", "7z", "mp3", "wav", "mp4", "avi", "mov", "pst", "eml", "db", "mdb"}) {
    EXPECT_TRUE(extensions.count(wanted)) << wanted;
  }
  for (const char* wanted :
       {"Photos", "Camera Raw", "Documents", "Archives", "Audio", "Video", "E-mail", "Databases"}) {
    EXPECT_TRUE(categories.count(wanted)) << wanted;
  }
  const uint8_t compoundMagic[4] = {0xD0, 0xCF, 0x11, 0xE0};
  for (const char* member : {"doc", "xls", "ppt"}) {
    const SignatureRecord& record = *firstOf.at(member);
    EXPECT_EQ(record.family, 2) << member;
    EXPECT_EQ(record.headerOffset, 0) << member;
    EXPECT_EQ(0, std::memcmp(record.headerBytes.data(), compoundMagic, 4)) << member;
  }
  std::string error;
  EXPECT_TRUE(CheckShippedList(list, &error)) << error;
}

TEST(SignatureShipped, NoTypeMatchesABlankOrFilledSector) {
  const std::vector<SignatureRecord> list = LoadShipped();
  const SignatureMatcher matcher(list);
  EXPECT_TRUE(matcher.Unusable().empty());
  std::vector<uint32_t> hits;
  for (const uint8_t fill : {0x00, 0xFF, 0x20, 0xF6, 0xE5}) {
    std::array<uint8_t, 512> sector;
    sector.fill(fill);
    matcher.Match(sector.data(), hits);
    EXPECT_TRUE(hits.empty()) << "fill " << int{fill} << " matches " << list[hits.front()].TypeNameText();
  }
}

}  // namespace
}  // namespace restora
