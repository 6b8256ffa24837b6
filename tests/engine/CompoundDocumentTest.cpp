// SPDX-License-Identifier: GPL-3.0-or-later
// Telling Word, Excel and PowerPoint documents apart through the compound document's directory.
#include "CompoundDocumentTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "CompoundDocument.h"
#include "TestSupport.h"

namespace restora::test {

void PlantCompoundDocument(std::vector<uint8_t>& disk, uint64_t sector, uint32_t directorySector,
                           uint32_t tableSectors, const std::vector<std::u16string>& entryNames) {
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  uint8_t* header = disk.data() + sector * 512;
  std::memcpy(header, magic, 8);
  header[0x1A] = 0x3E;  // minor and major version 3: 512-byte sectors
  header[0x1C] = 0x03;
  header[0x1E] = 0xFE;  // byte order mark
  header[0x1F] = 0xFF;
  header[0x20] = 9;  // sector shift
  std::memcpy(header + 0x2C, &tableSectors, 4);
  std::memcpy(header + 0x30, &directorySector, 4);
  if (entryNames.empty()) return;
  uint8_t* directory = disk.data() + (sector + directorySector + 1) * 512;
  for (size_t entry = 0; entry < entryNames.size() && entry < 4; ++entry) {
    const std::u16string& name = entryNames[entry];
    for (size_t i = 0; i < name.size() && i < 31; ++i) {
      directory[entry * 128 + 2 * i] = static_cast<uint8_t>(name[i]);
      directory[entry * 128 + 2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
  }
}

SignatureRecord CompoundRecord(const char* extension, uint8_t family) {
  SignatureRecord record;
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(record.headerBytes.data(), magic, 8);
  record.headerLength = 8;
  record.selected = 1;
  record.family = family;
  std::strncpy(record.extension.data(), extension, 31);
  std::strncpy(record.category.data(), "Documents", 12);
  std::strncpy(record.typeName.data(), extension, 255);
  return record;
}

namespace {

class CompoundDocumentTest : public ::testing::Test {
 protected:
  void Open(const std::vector<uint8_t>& disk) { ASSERT_EQ(OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1); }
  std::string_view Identify(uint64_t sector) {
    const SignatureRecord* record = IdentifyCompoundDocument(state, sector);
    return record == nullptr ? "none" : record->ExtensionText();
  }

  EngineState state;
  std::vector<uint8_t> disk = std::vector<uint8_t>(64 * 512);
};

TEST_F(CompoundDocumentTest, DirectoryEntriesNameTheType) {
  state.signatureList = {CompoundRecord("xls", 2), CompoundRecord("doc", 2), CompoundRecord("ppt", 2)};
  PlantCompoundDocument(disk, 0, 0, 1, {u"Root Entry", u"1Table", u"WordDocument"});
  PlantCompoundDocument(disk, 10, 3, 1, {u"Root Entry", u"Workbook", u"WordDocument"});  // first in entry order
  PlantCompoundDocument(disk, 20, 1, 1, {u"Root Entry", u"PowerPoint Document", u"Current User"});
  PlantCompoundDocument(disk, 30, 7, 1, {u"Root Entry", u"Book", u"A", u"B"});  // no Word, no Work
  PlantCompoundDocument(disk, 50, 0, 1, {u"Root Entry", u"Wordless"});  // "Word" begins "Wordless"
  Open(disk);
  EXPECT_EQ(Identify(0), "doc");
  EXPECT_EQ(Identify(10), "xls");
  EXPECT_EQ(Identify(20), "ppt");
  EXPECT_EQ(Identify(30), "ppt");
  EXPECT_EQ(Identify(50), "doc");
  // The first family record of the type from the head of the list is returned.
  EXPECT_EQ(IdentifyCompoundDocument(state, 10), &state.signatureList[0]);
}

TEST_F(CompoundDocumentTest, TypeMustBeSelectedWithFamilyTwoAndTheExactExtension) {
  PlantCompoundDocument(disk, 0, 0, 1, {u"Root Entry", u"Workbook"});
  PlantCompoundDocument(disk, 8, 0, 1, {u"Root Entry", u"WordDocument"});
  Open(disk);
  state.signatureList = {CompoundRecord("doc", 2)};
  EXPECT_EQ(Identify(0), "none");
  EXPECT_EQ(Identify(8), "doc");
  state.signatureList = {CompoundRecord("xls", 0), CompoundRecord("XLS", 2), CompoundRecord("doc", 0)};
  EXPECT_EQ(Identify(0), "none");
  EXPECT_EQ(Identify(8), "none");
}

TEST_F(CompoundDocumentTest, DirectoryThatDoesNotStartWithRootIsRefused) {
  state.signatureList = {CompoundRecord("doc", 2), CompoundRecord("xls", 2), CompoundRecord("ppt", 2)};
  PlantCompoundDocument(disk, 0, 2, 1, {u"Rot Entry", u"WordDocument"});
  PlantCompoundDocument(disk, 10, 60, 1, {});  // the directory would lie past the end: reads as zeros
  disk.resize(64 * 512 - 100);                 // and the last sector is cut short
  PlantCompoundDocument(disk, 62, 0xFFFFFFFE, 1, {});
  Open(disk);
  EXPECT_EQ(Identify(0), "none");
  EXPECT_EQ(Identify(10), "none");
  EXPECT_EQ(Identify(62), "none");
  EXPECT_EQ(Identify(std::numeric_limits<uint64_t>::max() - 1), "none");
  EXPECT_EQ(Identify(1000), "none");
}

TEST_F(CompoundDocumentTest, SizeComesFromTheAllocationTableCount) {
  PlantCompoundDocument(disk, 4, 0, 3, {u"Root Entry"});
  PlantCompoundDocument(disk, 12, 0, 0xFFFFFFFF, {u"Root Entry"});
  Open(disk);
  EXPECT_EQ(CompoundDocumentSize(state, 4), 3u * 65536 + 512);  // 197,120 bytes
  EXPECT_EQ(CompoundDocumentSize(state, 12), 0xFFFFFFFFull * 65536 + 512);
  EXPECT_EQ(CompoundDocumentSize(state, 5000), 512u);  // unreadable: the header alone
}

}  // namespace
}  // namespace restora::test
