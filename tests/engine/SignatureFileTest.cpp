// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signature" file: the stored record layout, reading chains (empty, truncated, endless),
// the selected list with its size rule, and the record checks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "SignatureFile.h"
#include "SignatureSource.h"

namespace restora {
namespace {

namespace fs = std::filesystem;

SignatureRecord MakeType(const char* name, const char* extension, const char* category, uint8_t selected = 1) {
  SignatureRecord record;
  std::strncpy(record.typeName.data(), name, record.typeName.size() - 1);
  std::strncpy(record.extension.data(), extension, record.extension.size() - 1);
  std::strncpy(record.category.data(), category, record.category.size() - 1);
  record.selected = selected;
  record.headerLength = 2;
  record.headerBytes[0] = 0x4D;
  record.headerBytes[1] = 0x5A;
  return record;
}

// A folder of its own below the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("restora-signature-" + std::to_string(random()) + "-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }
  void Write(const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / kSignatureFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  fs::path path_;
};

std::vector<SignatureRecord> LoadFrom(const TempFolder& folder, EngineState& state) {
  EXPECT_EQ(OpenSignatureFile(state, folder.Path()), 1);
  EXPECT_EQ(ReadSignatureList(state), 1);
  return state.signatureList;
}

TEST(SignatureFile, RecordFieldsSitAtTheirStoredOffsets) {
  SignatureRecord record = MakeType("Word document", "doc", "Documents");
  record.headerLength = 8;
  record.headerOffset = 0x1234;
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(record.headerBytes.data(), magic, 8);
  record.headerBytes[512] = 0x77;  // the last of the 513 signature bytes
  record.maxSizeMiB = 0x01020304;
  record.family = 2;
  record.next = 0xAABBCCDD;
  std::array<uint8_t, kSignatureRecordSize> bytes;
  bytes.fill(0xEE);
  EncodeSignatureRecord(record, bytes);

  EXPECT_EQ(bytes[0], 0);  // unused bytes are written as zero
  EXPECT_EQ(bytes[1], 1);
  EXPECT_EQ(bytes[2], 8);
  EXPECT_EQ(bytes[3], 0x34);
  EXPECT_EQ(bytes[4], 0x12);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 5, magic, 8));
  EXPECT_EQ(bytes[5 + 512], 0x77);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 518, "Word document", 14));
  EXPECT_EQ(0, std::memcmp(bytes.data() + 774, "doc", 4));
  EXPECT_EQ(bytes[806], 0x04);
  EXPECT_EQ(bytes[809], 0x01);
  EXPECT_EQ(bytes[810] | bytes[811] | bytes[812] | bytes[813], 0);
  EXPECT_EQ(bytes[814], 2);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 815, "Documents", 10));
  EXPECT_EQ(bytes[828], 0xDD);
  EXPECT_EQ(bytes[831], 0xAA);

  const SignatureRecord back = DecodeSignatureRecord(bytes);
  EXPECT_EQ(back.selected, 1);
  EXPECT_EQ(back.headerLength, 8);
  EXPECT_EQ(back.headerOffset, 0x1234);
  EXPECT_EQ(back.headerBytes, record.headerBytes);
  EXPECT_EQ(back.TypeNameText(), "Word document");
  EXPECT_EQ(back.ExtensionText(), "doc");
  EXPECT_EQ(back.CategoryText(), "Documents");
  EXPECT_EQ(back.maxSizeMiB, 0x01020304u);
  EXPECT_EQ(back.family, 2);
  EXPECT_EQ(back.next, 0xAABBCCDDu);
}

TEST(SignatureFile, ChainEndsAtTheFirstZeroNextAndIgnoresWhatFollows) {
  TempFolder folder;
  std::vector<SignatureRecord> records = {MakeType("A", "aaa", "One"), MakeType("B", "bbb", "Two"),
                                          MakeType("C", "ccc", "One")};
  std::vector<uint8_t> bytes = EncodeSignatureFile(records);
  // next fields as stored: non-zero, non-zero, zero; a fourth record behind them is never read.
  EXPECT_NE(DecodeSignatureRecord(std::span(bytes).subspan(0, kSignatureRecordSize)).next, 0u);
  const std::vector<uint8_t> fourth = EncodeSignatureFile({MakeType("D", "ddd", "One"), MakeType("E", "eee", "One")});
  bytes.insert(bytes.end(), fourth.begin(), fourth.end());
  folder.Write(bytes);

  EngineState state;
  const std::vector<SignatureRecord> list = LoadFrom(folder, state);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].ExtensionText(), "aaa");
  EXPECT_EQ(list[1].ExtensionText(), "bbb");
  EXPECT_EQ(list[2].ExtensionText(), "ccc");
  EXPECT_EQ(list[2].next, 0u);

  // Reading again replaces the list instead of adding to it; freeing empties it.
  ASSERT_EQ(OpenSignatureFile(state, folder.Path()), 1);
  ASSERT_EQ(ReadSignatureList(state), 1);
  EXPECT_EQ(state.signatureList.size(), 3u);
  EXPECT_EQ(FreeSignatureList(state), 1);
  EXPECT_TRUE(state.signatureList.empty());
  EXPECT_EQ(FreeSignatureList(state), 1);
}

TEST(SignatureFile, EmptyFileGivesOneAllZeroUnselectedType) {
  TempFolder folder;
  folder.Write({});
  EngineState state;
  const std::vector<SignatureRecord> list = LoadFrom(folder, state);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].selected, 0);
  EXPECT_EQ(list[0].headerLength, 0);
  EXPECT_TRUE(list[0].TypeNameText().empty());
  EXPECT_TRUE(list[0].ExtensionText().empty());
  EXPECT_TRUE(list[0].CategoryText().empty());
  uint32_t count = 0;
  EXPECT_TRUE(BuildSelectedList(list, kDefaultMaxSizeText, count).empty());
  EXPECT_EQ(count, 0u);
}

TEST(SignatureFile, TruncatedFileEndsAtTheRecordItDoesNotHoldInFull) {
  TempFolder folder;
  std::vector<uint8_t> bytes =
      EncodeSignatureFile({MakeType("A", "aaa", "One"), MakeType("B", "bbb", "One"), MakeType("C", "ccc", "One")});
  bytes.resize(kSignatureRecordSize + 780);  // the second record is cut inside its category
  folder.Write(bytes);
  EngineState state;
  const std::vector<SignatureRecord> list = LoadFrom(folder, state);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].TypeNameText(), "B");
  EXPECT_EQ(list[1].ExtensionText().substr(0, 3), "bbb");  // the part the file holds is kept
  EXPECT_TRUE(list[1].CategoryText().empty());
  EXPECT_EQ(list[1].next, 0u);
}

TEST(SignatureFile, MissingFileOrNoOpenFileLoadsNothing) {
  TempFolder folder;
  EngineState state;
  EXPECT_EQ(OpenSignatureFile(state, folder.Path()), 0);
  EXPECT_EQ(state.signatureFileHandle, nullptr);
  EXPECT_EQ(ReadSignatureList(state), 0);
  EXPECT_TRUE(state.signatureList.empty());

  // Opening again closes the earlier handle first, also when the new open fails.
  folder.Write(EncodeSignatureFile({MakeType("A", "aaa", "One")}));
  ASSERT_EQ(OpenSignatureFile(state, folder.Path()), 1);
  EXPECT_EQ(OpenSignatureFile(state, folder.Path() / "nowhere"), 0);
  EXPECT_EQ(state.signatureFileHandle, nullptr);
}

TEST(SignatureFile, ChainThatNeverEndsIsCut) {
  TempFolder folder;
  std::vector<SignatureRecord> records(kMaxSignatureRecords + 5, MakeType("A", "aaa", "One"));
  std::vector<uint8_t> bytes = EncodeSignatureFile(records);
  bytes.resize(bytes.size() - kSignatureRecordSize);  // the last record, with its zero next, is gone
  folder.Write(bytes);
  EngineState state;
  const std::vector<SignatureRecord> list = LoadFrom(folder, state);
  EXPECT_EQ(list.size(), kMaxSignatureRecords);
}

TEST(SignatureFile, SelectedListIsCopiedInReverseWithTheCount) {
  const std::vector<SignatureRecord> full = {MakeType("A", "aaa", "One", 1), MakeType("B", "bbb", "One", 0),
                                             MakeType("C", "ccc", "One", 1)};
  uint32_t count = 5;  // the count only grows
  std::vector<SignatureRecord> selected = BuildSelectedList(full, kDefaultMaxSizeText, count);
  ASSERT_EQ(selected.size(), 2u);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(selected[0].ExtensionText(), "ccc");
  EXPECT_EQ(selected[1].ExtensionText(), "aaa");
  EXPECT_EQ(selected[0].maxSizeMiB, 1024u);
  EXPECT_EQ(full[0].maxSizeMiB, 0u);  // copies: the full list keeps its own values

  count = 0;
  EXPECT_TRUE(BuildSelectedList({}, kDefaultMaxSizeText, count).empty());
  EXPECT_TRUE(BuildSelectedList({MakeType("B", "bbb", "One", 0)}, kDefaultMaxSizeText, count).empty());
  EXPECT_EQ(count, 0u);
}

TEST(SignatureFile, SizeBoxIsReadInKilobytesWithAFloorOf1024MiB) {
  struct Case {
    std::u16string text;
    uint32_t mib;
  };
  const Case cases[] = {
      {u"1024", 1024},
      {u"1048575", 1024},
      {u"1048576", 1024},
      {u"1049600", 1025},  // 1025 × 1024 KB
      {u"2097152", 2048},
      {u"2098175", 2048},  // the remainder is dropped
      {u"not a number", 1024},
      {u"", 1024},
      {u"  +3145728", 3072},  // leading blanks and a sign, as a decimal reader takes them
      {u"2097152 KB", 2048},  // the number ends at the first non-digit
      {u"-1023", 1024},       // quotient 0 toward zero
      {u"-2048", 0xFFFFFFFEu},
      {u"4294967296000", 2097151},  // beyond 32 bits the reading saturates at 2^31 - 1
      {u"-99999999999", 0xFFE00000u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MaxSizeMiBFromText(c.text), c.mib) << std::string(c.text.begin(), c.text.end());
  }
  uint32_t count = 0;
  EXPECT_EQ(BuildSelectedList({MakeType("A", "aaa", "One")}, u"2097152", count)[0].maxSizeMiB, 2048u);
}

TEST(SignatureFile, RecordChecksRefuseWhatTheSearchOrTheFolderNamesCannotTake) {
  std::string why;
  EXPECT_TRUE(CheckSignatureRecord(MakeType("A", "jpg", "Photos"), &why)) << why;

  SignatureRecord empty = MakeType("A", "jpg", "Photos");
  empty.headerLength = 0;
  EXPECT_FALSE(SignatureFitsSector(empty));
  SignatureRecord pastSector = MakeType("A", "jpg", "Photos");
  pastSector.headerOffset = 511;
  EXPECT_FALSE(SignatureFitsSector(pastSector));
  pastSector.headerOffset = 510;  // bytes 510 and 511: the last ones of the sector
  EXPECT_TRUE(SignatureFitsSector(pastSector));

  SignatureRecord unterminated = MakeType("A", "jpg", "Photos");
  unterminated.category.fill('x');
  EXPECT_FALSE(CheckSignatureRecord(unterminated));
  SignatureRecord nonAscii = MakeType("A", "jpg", "Fotos\xE9");
  EXPECT_FALSE(CheckSignatureRecord(nonAscii));
  for (const char* extension : {"a/b", "..", "x.y", "a:b", "", "end "}) {
    EXPECT_FALSE(CheckSignatureRecord(MakeType("A", extension, "Photos"))) << extension;
  }
  for (const char* category : {"..", "a\\b", "Photos.", "a*"}) {
    EXPECT_FALSE(CheckSignatureRecord(MakeType("A", "jpg", category))) << category;
  }
  EXPECT_FALSE(CheckSignatureRecord(MakeType("", "jpg", "Photos")));
}

TEST(SignatureFile, TextSourceParsesFieldsAndNamesTheFaultyLine) {
  std::vector<SignatureRecord> records;
  std::string error;
  ASSERT_TRUE(ParseSignatureSource("# comment\n\n"
                                   "PNG image | png | Photos | 0 | 89 50 4E47 | 1 | 0\r\n"
                                   "tar archive | tar | Archives | 257 | 75 73 74 61 72 | 0 | 0\n",
                                   records, &error))
      << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].TypeNameText(), "PNG image");
  EXPECT_EQ(records[0].headerLength, 4);
  EXPECT_EQ(records[0].headerBytes[3], 0x47);
  EXPECT_EQ(records[0].selected, 1);
  EXPECT_EQ(records[1].headerOffset, 257);
  EXPECT_EQ(records[1].selected, 0);

  const char* faulty[] = {
      "A | a | B | 0 | 4D | 1\n",                       // a field missing
      "A | a | B | 0 | 4G | 1 | 0\n",                   // not hex
      "A | a | B | 0 | | 1 | 0\n",                      // empty signature
      "A | a | B | 510 | 01 02 03 | 1 | 0\n",           // past the sector
      "A | a | Thirteen char | 0 | 4D | 1 | 0\n",       // category too long for its field
      "A | a/b | B | 0 | 4D | 1 | 0\n",                 // not a file-name part
      "A | a | B | 0 | 4D | 2 | 0\n",                   // selected is 0 or 1
  };
  for (const char* line : faulty) {
    const std::string text = std::string("# first\n") + line;
    EXPECT_FALSE(ParseSignatureSource(text, records, &error)) << line;
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
  }
}

}  // namespace
}  // namespace restora
