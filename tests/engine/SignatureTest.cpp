// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signature" file's record layout (pinned by a stored file), the checks that keep
// unsafe names out of folder names, and the signature search against the plain sector-by-record
// loop on random data. (Compound documents told apart by the search: tests/real/signatures.sh.)
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "FoundFile.h"
#include "ScanTree.h"
#include "SignatureFile.h"
#include "SignatureSearch.h"
#include "TestSupport.h"

namespace restora {
namespace {

const std::string kSeeds = std::string(RESTORA_SOURCE_DIR) + "/fuzz/seeds/";

TEST(SignatureFile, AStoredFileDecodesToItsTypesAndEncodesToItsBytes) {
  const std::vector<uint8_t> stored = test::ReadWholeFile(kSeeds + "FuzzSignatureFile/shipped.bin");
  ASSERT_EQ(stored.size() % kSignatureRecordSize, 0u);
  std::vector<SignatureRecord> records;
  for (size_t at = 0; at < stored.size(); at += kSignatureRecordSize) {
    records.push_back(DecodeSignatureRecord(std::span(stored).subspan(at, kSignatureRecordSize)));
  }
  EXPECT_EQ(EncodeSignatureFile(records), stored);
  const SignatureRecord& tar = records.at(46);
  EXPECT_EQ(std::vector<std::string_view>({tar.TypeNameText(), tar.ExtensionText(), tar.CategoryText()}),
            std::vector<std::string_view>({"tar archive (POSIX)", "tar", "Archives"}));
  EXPECT_EQ(std::vector<int>({tar.selected, tar.headerOffset, tar.headerLength, int(tar.next), records.at(26).family}),
            std::vector<int>({0, 257, 8, 1, 2}));
  EXPECT_EQ(std::memcmp(tar.headerBytes.data(), "ustar\0" "00", 8), 0);
  EXPECT_EQ(records.back().next, 0u);
}

TEST(SignatureFile, TypesWhoseNamesCannotBeFolderNamesAreRefused) {
  const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF};
  EXPECT_TRUE(CheckSignatureRecord(test::SearchType("jpg", jpeg, 0, 0, "Photos")));
  for (const char* extension : {"a/b", "..", "x.y", "a:b", "", "end "}) {
    EXPECT_FALSE(CheckSignatureRecord(test::SearchType(extension, jpeg, 0, 0, "Photos"))) << extension;
  }
  for (const char* category : {"..", "a\\b", "Photos.", "a*", "Fotos\xE9"}) {
    EXPECT_FALSE(CheckSignatureRecord(test::SearchType("jpg", jpeg, 0, 0, category))) << category;
  }
  SignatureRecord pastSector = test::SearchType("jpg", jpeg, 0, 510);
  EXPECT_FALSE(SignatureFitsSector(pastSector));
  pastSector.headerLength = 2;  // bytes 510 and 511: the last of the sector
  EXPECT_TRUE(SignatureFitsSector(pastSector));
}

// The search as the plain loop does it: 63-sector blocks each read alone into a cleared buffer,
// every sector compared with every record from the list's head.
void ReferenceSearch(EngineState& state) {
  ScanNode* rawData = CreateRawDataFolder(state);
  std::vector<uint8_t> block(63 * 512);
  for (uint64_t b = 0; b < state.volumeInfo.totalSectors; b += 63) {
    std::fill(block.begin(), block.end(), uint8_t{0});
    (void)ReadSectors(state, b, block);
    for (uint64_t i = 0; i < 63; ++i) {
      for (const SignatureRecord& record : state.signatureList) {
        if (std::memcmp(block.data() + i * 512 + record.headerOffset, record.headerBytes.data(), record.headerLength) != 0) {
          continue;
        }
        AddFoundFileTo(state, rawData, b + i, record);
      }
    }
  }
}

TEST(SignatureSearch, SameTreeAsThePlainLoopOnRandomData) {
  std::mt19937 random(20240611);
  const uint8_t alphabet[] = {0x00, 0x41, 0x42, 0xFF};
  auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
  std::vector<SignatureRecord> list;
  const uint16_t offsets[] = {0, 1, 7, 100, 300, 508};
  const char* extensions[] = {"aa", "bb", "cc", "dd", "ee"};
  const char* categories[] = {"X", "Y", "Z"};
  for (int i = 0; i < 40; ++i) {
    std::vector<uint8_t> bytes(2 + pick(3));
    for (uint8_t& byte : bytes) byte = alphabet[pick(4)];
    list.push_back(test::SearchType(extensions[pick(5)], bytes, 0, offsets[pick(6)], categories[pick(3)]));
    list.back().maxSizeMiB = static_cast<uint32_t>(pick(3));
  }

  const uint64_t sectors = 9100;  // past one large read; the last block runs past the end
  std::vector<uint8_t> disk(sectors * 512);
  for (uint8_t& byte : disk) byte = alphabet[pick(4)];
  for (const SourceKind kind : {SourceKind::Disk, SourceKind::Fat32}) {
    EngineState fast, plain;
    for (EngineState* state : {&fast, &plain}) {
      state->deviceHandle = std::make_unique<MemorySourceReader>(disk);
      state->volumeInfo.kind = kind, state->volumeInfo.totalSectors = 9050;
      (state->scanRoot = NewNode(*state))->status = kStatusLiveFolder;
      state->scanRoot->name = u".";
      state->signatureList = list, state->keepRunning = 1;
    }
    EXPECT_EQ(SearchSignatures(fast), 1);
    ReferenceSearch(plain);
    NumberTree(fast, fast.scanRoot), NumberTree(plain, plain.scanRoot);
    const std::vector<std::string> expected = test::TreeLines(plain);
    EXPECT_GT(expected.size(), 500u);  // the data gives plenty of hits to order
    EXPECT_EQ(test::TreeLines(fast), expected);
    EXPECT_EQ(test::FoundFiles(fast), test::FoundFiles(plain));
    CleanUp(fast), CleanUp(plain);
  }
}

}  // namespace
}  // namespace restora
