// SPDX-License-Identifier: GPL-3.0-or-later
// Found files cut at their format's end: each reader on a byte-built file followed by other
// data, and with a bound one byte short; zip-based and compound documents told apart; the
// search's sizes with and without cutting.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CompoundFile.h"
#include "FileEnd.h"
#include "JobChecks.h"
#include "ScanTree.h"
#include "SignatureSearch.h"
#include "TestSupport.h"
#include "ZipArchive.h"

namespace restora::test {
namespace {

using Data = std::vector<uint8_t>;

void Put(Data& d, std::string_view text) { d.insert(d.end(), text.begin(), text.end()); }
void Be(Data& d, uint64_t v, int n) { for (int i = n - 1; i >= 0; --i) d.push_back(static_cast<uint8_t>(v >> (8 * i))); }
void Le(Data& d, uint64_t v, int n) { for (int i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i))); }
void Fill(Data& d, size_t n, uint8_t byte) { d.insert(d.end(), n, byte); }

Data Jpeg() {
  Data d;
  Put(d, "\xFF\xD8");
  // An Exif segment whose thumbnail has its own end marker inside the segment.
  Put(d, "\xFF\xE1");
  Be(d, 2 + 6 + 8, 2);
  Put(d, std::string_view("Exif\0\0\xFF\xD8\xFF\xD9\x01\x02\x03\x04", 14));
  Put(d, "\xFF\xDB");
  Be(d, 2 + 65, 2);
  Fill(d, 65, 1);
  Put(d, "\xFF\xDA");
  Be(d, 8, 2);
  Fill(d, 6, 0);
  // Entropy-coded data with a stuffed 0xFF, a restart marker and fill bytes before the end.
  Put(d, std::string_view("\x12\xFF\x00\x34\xFF\xD0\x56\xFF\xFF\xD9", 10));
  return d;
}

Data Png() {
  Data d;
  Put(d, "\x89PNG\r\n\x1A\n");
  for (const auto& [type, length] : {std::pair{"IHDR", 13}, {"IDAT", 100}, {"IEND", 0}}) {
    Be(d, length, 4);
    Put(d, type);
    Fill(d, length + 4, 7);
  }
  return d;
}

Data Gif() {
  Data d;
  Put(d, "GIF89a");
  Put(d, std::string_view("\x01\x00\x01\x00\x80\x00\x00", 7));
  Fill(d, 6, 0);                                     // global colours
  Put(d, std::string_view("\x21\xFE\x03" "abc\x00", 7));  // comment extension
  Put(d, std::string_view("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\x00\x3B", 16));
  return d;
}

Data Riff(std::string_view form, size_t body) {
  Data d;
  Put(d, "RIFF");
  Le(d, 4 + body, 4);
  Put(d, form);
  Fill(d, body, 3);
  return d;
}

Data Movie() {
  Data d;
  for (const auto& [type, length] : {std::pair{"ftyp", 24}, {"moov", 100}, {"mdat", 1000}}) {
    Be(d, length, 4);
    Put(d, type);
    Fill(d, length - 8, 0x61);
  }
  return d;
}

Data Pdf() {
  Data d;
  Put(d, "%PDF-1.4\n1 0 obj\n<<>>\nendobj\n%%EOF\n2 0 obj\n<<>>\nendobj\n%%EOF\r\n");
  return d;
}

Data Mp3() {
  Data d;
  Put(d, std::string_view("ID3\x03\x00\x00\x00\x00\x00\x14", 10));
  Fill(d, 20, 0);
  for (int frame = 0; frame < 3; ++frame) {  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes
    Put(d, "\xFF\xFB\x90\x44");
    Fill(d, 413, 0x55);
  }
  Put(d, "TAG");
  Fill(d, 125, ' ');
  return d;
}

Data Ogg() {
  Data d;
  for (const uint8_t flags : {uint8_t{2}, uint8_t{0}, uint8_t{4}}) {
    Put(d, "OggS");
    d.push_back(0);
    d.push_back(flags);
    Fill(d, 8, 0);
    Le(d, 0x1234, 4);  // serial
    Fill(d, 8, 0);
    d.push_back(2);    // two segments
    d.push_back(255);
    d.push_back(10);
    Fill(d, 265, 0x4F);
  }
  return d;
}

Data Sqlite() {
  Data d;
  Put(d, std::string_view("SQLite format 3\0", 16));
  Be(d, 1024, 2);
  Fill(d, 6, 0);
  Be(d, 9, 4);  // change counter
  Be(d, 3, 4);  // pages
  Fill(d, 92 - 32, 0);
  Be(d, 9, 4);  // valid for change 9
  Fill(d, 3 * 1024 - d.size(), 0x11);
  return d;
}

Data Tar() {
  Data d(512, 0);
  std::memcpy(d.data(), "notes.txt", 9);
  std::memcpy(d.data() + 124, "00000001750", 11);  // 1000 bytes
  std::memcpy(d.data() + 257, "ustar\00000", 8);
  std::memset(d.data() + 148, ' ', 8);
  unsigned sum = 0;
  for (uint8_t byte : d) sum += byte;
  std::snprintf(reinterpret_cast<char*>(d.data() + 148), 8, "%06o", sum);
  Fill(d, 1024, 'x');
  Fill(d, 10240 - d.size(), 0);
  return d;
}

struct ZipEntry {
  std::string name;
  std::string content;
  bool descriptor = false;  // sizes only in a data descriptor after the data
};

Data Zip(const std::vector<ZipEntry>& entries, std::string_view comment = "") {
  Data d, central;
  for (const ZipEntry& e : entries) {
    const uint64_t at = d.size();
    Le(d, 0x04034B50, 4);
    Le(d, 20, 2);
    Le(d, e.descriptor ? 8 : 0, 2);
    Fill(d, 10, 0);  // method 0, time, date, CRC
    Le(d, e.descriptor ? 0 : e.content.size(), 4);
    Le(d, e.descriptor ? 0 : e.content.size(), 4);
    Le(d, e.name.size(), 2);
    Le(d, 0, 2);
    Put(d, e.name);
    Put(d, e.content);
    if (e.descriptor) {
      Le(d, 0x08074B50, 4);
      Le(d, 0, 4);
      Le(d, e.content.size(), 4);
      Le(d, e.content.size(), 4);
    }
    Le(central, 0x02014B50, 4);
    Fill(central, 24, 0);
    Le(central, e.name.size(), 2);
    Fill(central, 12, 0);
    Le(central, at, 4);
    Put(central, e.name);
  }
  const uint64_t directoryAt = d.size();
  d.insert(d.end(), central.begin(), central.end());
  Le(d, 0x06054B50, 4);
  Fill(d, 4, 0);
  Le(d, entries.size(), 2);
  Le(d, entries.size(), 2);
  Le(d, central.size(), 4);
  Le(d, directoryAt, 4);
  Le(d, comment.size(), 2);
  Put(d, comment);
  return d;
}

// A compound file (512-byte sectors): sector 0 the allocation table, sectors 1 and 2 the
// directory (the named stream's entry in the second one), sectors 3 to 5 a stream, sectors 6 and
// 7 unused. directoryNext is the table entry of sector 2 (end of chain, or a loop back).
Data Compound(std::u16string_view stream, uint32_t directoryNext = 0xFFFFFFFE) {
  Data d(512 * 9, 0);
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(d.data(), magic, 8);
  auto u32 = [&d](size_t at, uint32_t v) { std::memcpy(d.data() + at, &v, 4); };
  auto u16 = [&d](size_t at, uint16_t v) { std::memcpy(d.data() + at, &v, 2); };
  u16(0x1E, 9);
  u32(0x2C, 1);
  u32(0x30, 1);
  u32(0x44, 0xFFFFFFFE);
  u32(0x4C, 0);
  for (int i = 1; i < 109; ++i) u32(0x4C + 4 * i, 0xFFFFFFFF);
  const uint32_t table[8] = {0xFFFFFFFD, 2, directoryNext, 4, 5, 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFF};
  for (uint32_t i = 0; i < 128; ++i) u32(512 + i * 4, i < 8 ? table[i] : 0xFFFFFFFF);
  auto entry = [&](size_t at, std::u16string_view name, uint8_t type) {
    for (size_t i = 0; i < name.size(); ++i) u16(at + i * 2, name[i]);
    u16(at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    d[at + 66] = type;
  };
  entry(1024, u"Root Entry", 5);
  entry(1024 + 128, u"\u0005SummaryInformation", 2);
  entry(1536, stream, 2);
  return d;
}

struct EndCase {
  const char* extension;
  std::function<Data()> make;
  uint64_t endWhenOneShort;  // what the reader gives when the bound ends one byte too early
};

TEST(FileEnd, EachFormatEndsWhereItsStructureCloses) {
  const std::vector<EndCase> cases = {
      {"jpg", Jpeg, 0},
      {"png", Png, 0},
      {"gif", Gif, 0},
      {"wav", [] { return Riff("WAVE", 200); }, 0},
      {"avi", [] { return Riff("AVI ", 300); }, 0},
      {"webp", [] { return Riff("WEBP", 100); }, 0},
      {"mp4", Movie, 0},
      {"pdf", Pdf, Pdf().size() - 1},  // the marker without its line break's last byte
      {"mp3", Mp3, 30 + 3 * 417},     // the ID3v1 tag that does not fit is left out
      {"ogg", Ogg, 0},
      {"db", Sqlite, 0},
      {"tar", Tar, 10240 - 512},  // the zero padding is cut where the bound ends
      {"zip", [] { return Zip({{"a.txt", "hello"}, {"b.txt", "world", true}}, "comment"); }, 0},
      {"doc", [] { return Compound(u"WordDocument"); }, 0},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.extension);
    Data file = c.make();
    const uint64_t size = file.size();
    // Other data follows directly: text, then the start of another file.
    Put(file, "more bytes of whatever the disk holds next ");
    Put(file, std::string_view("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11));
    Fill(file, 4096, 0x5A);
    FileBytes whole = FileBytes::Of(file);
    const uint64_t expected = std::string_view(c.extension) == "doc" ? 7 * 512 : size;  // to the last used sector
    EXPECT_EQ(FindFileEnd(c.extension, whole), expected);
    FileBytes cut = FileBytes::Of(std::span<const uint8_t>(file.data(), expected - 1));
    EXPECT_EQ(FindFileEnd(c.extension, cut), c.endWhenOneShort);
  }
}

TEST(FileEnd, ZipEntriesNameTheDocumentType) {
  const std::string contentTypes = "[Content_Types].xml";
  const std::vector<std::pair<std::vector<ZipEntry>, std::string_view>> cases = {
      {{{contentTypes, "<Types/>"}, {"_rels/.rels", ""}, {"word/document.xml", "w"}}, "docx"},
      {{{"_rels/.rels", ""}, {"xl/workbook.xml", "x"}, {contentTypes, "<Types/>"}}, "xlsx"},
      {{{contentTypes, "<Types/>"}, {"ppt/presentation.xml", "p", true}}, "pptx"},
      {{{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", ""}}, "odt"},
      {{{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", ""}}, "ods"},
      {{{"mimetype", "application/vnd.oasis.opendocument.presentation"}}, "odp"},
      {{{"mimetype", "application/epub+zip"}, {"META-INF/container.xml", ""}}, "epub"},
      {{{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0"}, {"a/B.class", ""}}, "jar"},
      {{{"AndroidManifest.xml", ""}, {"classes.dex", ""}, {"META-INF/MANIFEST.MF", ""}}, "apk"},
      {{{"word/document.xml", "no content types: a plain archive"}}, "zip"},
      {{{"notes.txt", "mimetype not first"}, {"mimetype", "application/epub+zip"}}, "zip"},
  };
  for (const auto& [entries, type] : cases) {
    const Data zip = Zip(entries);
    FileBytes bytes = FileBytes::Of(zip);
    const ZipArchiveInfo info = ReadZipArchive(bytes);
    EXPECT_EQ(info.type, type) << entries.front().name;
    EXPECT_EQ(info.end, zip.size()) << entries.front().name;
  }
}

TEST(FileEnd, CompoundDirectoryIsWalkedThroughItsChain) {
  const std::vector<std::pair<std::u16string, std::string_view>> cases = {
      {u"WordDocument", "doc"}, {u"Workbook", "xls"}, {u"Book", "xls"}, {u"PowerPoint Document", "ppt"}, {u"Other", ""}};
  for (const auto& [stream, type] : cases) {
    const Data file = Compound(stream);
    FileBytes bytes = FileBytes::Of(file);
    const CompoundFileInfo info = ReadCompoundFile(bytes);
    EXPECT_TRUE(info.hasRoot);
    EXPECT_EQ(info.type, type);
    EXPECT_EQ(info.end, 7 * 512u);
  }
  // A directory chain that loops back on itself ends.
  const Data looping = Compound(u"Other", 1);
  FileBytes bytes = FileBytes::Of(looping);
  EXPECT_EQ(ReadCompoundFile(bytes).type, "");
}

class CuttingSearch : public ::testing::Test {
 protected:
  void Search(const Data& disk, bool cut) {
    ASSERT_EQ(OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
    state.scanRoot = NewNode(state);
    state.scanRoot->status = kStatusLiveFolder;
    state.cutAtFormatEnd = cut;
    SignatureRecord docx = SearchType("docx", {'P', 'K', 3, 4}, 3), zip = SearchType("zip", {'P', 'K', 3, 4}, 3);
    state.signatureList = {SearchType("png", {0x89, 'P', 'N', 'G'}), SearchType("pdf", kPdfHeader), docx, zip};
    state.keepRunning = 1;
    ASSERT_EQ(SearchSignatures(state), 1);
  }
  EngineState state;
};

// A disk of other data with a PNG, two PDFs a sector apart, a docx, a plain zip and a PNG whose
// chunks run into the other data.
Data Disk() {
  Data disk(400 * 512, 0x5A);
  auto plant = [&disk](uint64_t sector, const Data& file) {
    std::copy(file.begin(), file.end(), disk.begin() + static_cast<std::ptrdiff_t>(sector * 512));
  };
  plant(10, Png());
  plant(100, Pdf());
  plant(101, Pdf());
  plant(200, Zip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "text"}}));
  plant(300, Zip({{"a.txt", "plain"}}));
  Data damaged = Png();
  damaged.resize(40);
  plant(350, damaged);
  return disk;
}

TEST_F(CuttingSearch, FoundFilesAreCutAtTheirFormatsEnd) {
  Search(Disk(), true);
  const std::multiset<FoundEntry> expected = {
      {"10.png", Png().size(), 10, true},
      {"100.pdf", Pdf().size(), 100, true},
      {"101.pdf", Pdf().size(), 101, true},
      {"200.docx", Zip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "text"}}).size(), 200, true},
      {"300.zip", Zip({{"a.txt", "plain"}}).size(), 300, true},
      {"350.png", 50 * 512, 350, true}};
  EXPECT_EQ(FoundFiles(state), expected);
}

TEST_F(CuttingSearch, FixedSizeKeepsTheMaximum) {
  Search(Disk(), false);
  EXPECT_EQ(FoundFiles(state).size(), 6u);
  for (const FoundEntry& entry : FoundFiles(state)) EXPECT_EQ(std::get<1>(entry), (400 - Where(entry)) * 512);
}

}  // namespace
}  // namespace restora::test
