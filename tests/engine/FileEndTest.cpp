// SPDX-License-Identifier: GPL-3.0-or-later
// Found files cut at their format's end: each reader on the stored real files of its type (the
// fuzz seeds) followed by other data, and with a bound one byte short; zip-based and compound
// documents told apart; the search's sizes when cutting.
#include <gtest/gtest.h>

#include <cstring>

#include "ByteReader.h"
#include "CompoundFile.h"
#include "FileEnd.h"
#include "ScanTree.h"
#include "SignatureSearch.h"
#include "TestSupport.h"
#include "ZipArchive.h"

namespace restora::test {
namespace {

using Data = std::vector<uint8_t>;

// A seed of FuzzFileEnd: the first byte picks the type (its place in TypesWithEnds()), the second
// is the fuzzer's; the rest is a real file, whole up to 6 KiB, else its first 4 KiB.
Data Seed(const std::string& name, std::string_view* type = nullptr) {
  const Data bytes = ReadWholeFile(std::string(RESTORA_SOURCE_DIR) + "/fuzz/seeds/FuzzFileEnd/" + name);
  if (bytes.size() < 2) return {};
  if (type != nullptr) *type = TypesWithEnds()[bytes[0] % TypesWithEnds().size()];
  return Data(bytes.begin() + 2, bytes.end());
}

TEST(FileEnd, EachFormatEndsWhereItsStructureCloses) {
  struct Case {
    const char* seed;
    uint64_t end;              // 0: the first 4 KiB hold no end
    uint64_t endWhenOneShort;  // what the reader gives when the bound ends one byte too early
  };
  const Case cases[] = {
      {"archive0.zip", 1328, 0}, {"book0.epub", 802, 0}, {"bundle0.tar", 0, 0}, {"clip0.3gp", 0, 0},
      {"clip0.avi", 0, 0}, {"clip0.flv", 562, 441}, {"clip0.mkv", 0, 0}, {"clip0.mov", 0, 0}, {"clip0.mp4", 0, 0},
      {"clip0.mpg", 4096, 0}, {"clip0.wmv", 0, 0}, {"data0.db", 8192, 0}, {"exif0.jpg", 878, 0}, {"gnumeric0.xls", 0, 0},
      {"gnumeric95_0.xls", 6144, 0}, {"image0.bmp", 0, 0}, {"image0.gif", 1266, 0}, {"image0.jp2", 543, 0},
      {"image0.png", 489, 0}, {"image0.psd", 0, 0}, {"image0.tif", 0, 0}, {"image0.webp", 166, 0},
      {"late0.doc", 6144, 0}, {"late0.ppt", 6144, 0}, {"note0.rtf", 2455, 2454}, {"office0.ods", 824, 0},
      {"office0.odt", 817, 0}, {"pack0.7z", 738, 0}, {"pack0.zst", 661, 0}, {"paper0.pdf", 2175, 2174},
      {"photo0.jpg", 422, 0}, {"report0.docx", 904, 0}, {"sheet0.xlsx", 900, 0}, {"slides0.pptx", 910, 0},
      {"song0.mp3", 4241, 0}, {"sound0.flac", 0, 0}, {"sound0.m4a", 0, 0}, {"sound0.ogg", 5611, 0},
      {"sound0.wav", 0, 0}, {"tool0.jar", 818, 0}, {"tune0.mid", 426, 0}, {"text0.gz", 3240, 0},
      {"text0.bz2", 2123, 0}, {"text0.xz", 3156, 0},
  };
  for (const Case& c : cases) {
    std::string_view type;
    Data file = Seed(c.seed, &type);
    ASSERT_FALSE(file.empty()) << c.seed;
    // Other data follows directly: text, then the start of another file.
    for (const char* more : {"more bytes of whatever the disk holds next ", "\xFF\xD8\xFF\xE0\x00\x10JFIF"}) {
      file.insert(file.end(), more, more + std::strlen(more));
    }
    file.resize(file.size() + 4096, 0x5A);
    FileBytes whole = FileBytes::Of(file);
    EXPECT_EQ(FindFileEnd(type, whole), c.end) << c.seed << " as " << type;
    if (c.end == 0) continue;
    FileBytes cut = FileBytes::Of(std::span<const uint8_t>(file.data(), c.end - 1));
    EXPECT_EQ(FindFileEnd(type, cut), c.endWhenOneShort) << c.seed << " as " << type;
  }
}

TEST(FileEnd, ZipAndCompoundDocumentsAreNamedByWhatTheyHold) {
  const std::pair<const char*, std::string_view> zips[] = {
      {"archive0.zip", "zip"}, {"book0.epub", "epub"}, {"office0.ods", "ods"}, {"office0.odt", "odt"},
      {"report0.docx", "docx"}, {"sheet0.xlsx", "xlsx"}, {"slides0.pptx", "pptx"}, {"tool0.jar", "jar"}};
  for (const auto& [seed, type] : zips) {
    const Data file = Seed(seed);
    FileBytes bytes = FileBytes::Of(file);
    const ZipArchiveInfo info = ReadZipArchive(bytes);
    EXPECT_EQ(info.type, type) << seed;
    EXPECT_EQ(info.end, file.size()) << seed;
  }
  const std::pair<const char*, std::string_view> compounds[] = {
      {"late0.doc", "doc"}, {"late0.ppt", "ppt"}, {"gnumeric95_0.xls", "xls"}};
  for (const auto& [seed, type] : compounds) {
    Data file = Seed(seed);
    FileBytes bytes = FileBytes::Of(file);
    EXPECT_EQ(ReadCompoundFile(bytes).type, type) << seed;
    // The directory's first sector made to lead to itself: the walk through its chain ends.
    const uint32_t directory = LoadU32(file, 0x30), tableSector = LoadU32(file, 0x4C);
    StoreU32(file, 512 + tableSector * 512 + directory * 4, directory);
    FileBytes looping = FileBytes::Of(file);
    (void)ReadCompoundFile(looping);
  }
}

// A disk of other data with a PNG, two PDFs, a docx, a plain zip and a PNG whose chunks run into
// the other data.
TEST(CuttingSearch, FoundFilesAreCutAtTheirFormatsEnd) {
  const Data png = Seed("image0.png"), pdf = Seed("paper0.pdf"), docx = Seed("report0.docx"), zip = Seed("archive0.zip");
  const std::vector<std::pair<ptrdiff_t, Data>> planted = {
      {10, png}, {100, pdf}, {110, pdf}, {200, docx}, {300, zip}, {350, Data(png.begin(), png.begin() + 40)}};
  Data disk(400 * 512, 0x5A);
  for (const auto& [sector, file] : planted) std::copy(file.begin(), file.end(), disk.begin() + sector * 512);
  EngineState state;
  ASSERT_EQ(OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  state.scanRoot = NewNode(state);
  state.scanRoot->status = kStatusLiveFolder;
  state.cutAtFormatEnd = true;
  const SignatureRecord docxType = SearchType("docx", {'P', 'K', 3, 4}, 3), zipType = SearchType("zip", {'P', 'K', 3, 4}, 3);
  state.signatureList = {SearchType("png", {0x89, 'P', 'N', 'G'}), SearchType("pdf", kPdfHeader), docxType, zipType};
  state.keepRunning = 1;
  ASSERT_EQ(SearchSignatures(state), 1);
  const std::multiset<FoundEntry> expected = {
      {"10.png", png.size(), 10, true},   {"100.pdf", pdf.size(), 100, true}, {"110.pdf", pdf.size(), 110, true},
      {"200.docx", docx.size(), 200, true}, {"300.zip", zip.size(), 300, true}, {"350.png", 50 * 512, 350, true}};
  EXPECT_EQ(FoundFiles(state), expected);
}

}  // namespace
}  // namespace restora::test
