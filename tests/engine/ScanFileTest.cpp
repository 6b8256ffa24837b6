// SPDX-License-Identifier: GPL-3.0-or-later
// Scan information files: the byte layout, the round trip, and reading damaged or hostile files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "ByteReader.h"
#include "PosixSourceReader.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace restora {
namespace {

ScanNode* Append(EngineState& state, ScanNode* folder, std::u16string name, uint8_t status) {
  ScanNode* node = NewNode(state);
  node->name = std::move(name);
  node->nameLength = static_cast<uint16_t>(node->name.size());
  node->status = status;
  ScanNode** slot = &folder->firstChild;
  while (*slot != nullptr) slot = &(*slot)->next;
  *slot = node;
  return node;
}

// root → A (folder) → B (folder) → f (file), with the file g after A; every field distinct.
void BuildSmallTree(EngineState& state, SourceKind kind) {
  state.volumeInfo.kind = kind;
  state.volumeInfo.totalSectors = 123456;
  state.volumePath = u"\\\\.\\E:";
  ScanNode* root = NewNode(state);
  root->name = u".";
  root->nameLength = 1;
  root->status = kStatusLiveFolder;
  state.scanRoot = root;
  ScanNode* a = Append(state, root, u"A", kStatusLiveFolder);
  Append(state, root, u"g_#_1", kStatusLive)->checked = 1;
  ScanNode* b = Append(state, a, u"B", kStatusFolder);
  ScanNode* f = Append(state, b, u"f\u00e9.txt", 0);
  f->size = 0x1122334455667788;
  f->location = 0x0102030405060708;
  f->created = 0xA1A2A3A4A5A6A7A8;
  f->modified = 0xB1B2B3B4B5B6B7B8;
  f->firstCluster = 0xC1C2C3C4;
  f->createdDate = 0xD1D2;
  f->modifiedDate = 0xE1E2;
  f->attributes = kind == SourceKind::Ntfs ? 0x2021 : 0x20;
  f->carveSource = kCarveVolume;
  NumberTree(state, root);
}

std::string Write(const EngineState& state) {
  std::ostringstream out;
  EXPECT_EQ(WriteScanInfoTo(state, out), 1);
  return out.str();
}

int Read(EngineState& state, const std::string& bytes) {
  std::istringstream in(bytes);
  return ReadScanInfoFrom(state, in);
}

// One line per node in depth-first list order, with its depth, name and stored fields.
std::string Dump(const EngineState& state) {
  std::ostringstream out;
  std::vector<std::pair<const ScanNode*, int>> stack{{state.scanRoot, 0}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    if (node == nullptr) continue;
    out << depth << ' ' << Utf16ToUtf8(node->name) << ' ' << int(node->status) << ' '
        << node->size << ' ' << node->id << ' ' << node->parentId << ' ' << node->attributes << ' '
        << int(node->checked) << ' ' << int(node->carveSource) << ' ' << node->nameLength << ' ';
    if (state.NtfsLayout()) {
      out << node->location << ' ' << node->created << ' ' << node->modified << '\n';
    } else {
      out << node->firstCluster << ' ' << node->createdDate << ' ' << node->modifiedDate << '\n';
    }
    stack.push_back({node->next, depth});
    stack.push_back({node->firstChild, depth + 1});
  }
  return out.str();
}

// Walks the records of a file one after the other: 62 bytes, u16 length, the name.
struct StoredRecord {
  size_t offset;
  std::u16string name;
};
std::vector<StoredRecord> Records(const std::string& file, size_t first) {
  const Bytes bytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  std::vector<StoredRecord> records;
  for (size_t at = first; at + 64 <= bytes.size();) {
    const size_t length = LoadU16(bytes, at + 62);
    std::u16string name;
    for (size_t i = 0; i < length; ++i) name += static_cast<char16_t>(LoadU16(bytes, at + 64 + 2 * i));
    records.push_back({at, name});
    at += 64 + 2 * length;
  }
  return records;
}

TEST(ScanFile, PinsTheByteLayoutInBothNodeLayouts) {
  for (const SourceKind kind : {SourceKind::Fat32, SourceKind::Ntfs}) {
    SCOPED_TRACE(int(kind));
    EngineState state;
    BuildSmallTree(state, kind);
    const std::string file = Write(state);
    const Bytes b(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    EXPECT_EQ(file.substr(0, 8), std::string("TAF-\xAA\x55\0\0", 8));
    // The path's length is 6 characters, but only its first 6 bytes follow: "\\." in UTF-16.
    EXPECT_EQ(LoadU16(b, 8), 6);
    EXPECT_EQ(file.substr(10, 6), std::string("\\\0\\\0.\0", 6));
    EXPECT_EQ(LoadU8(b, 16), uint8_t(kind));
    EXPECT_EQ(LoadU64(b, 16 + 17), 123456u);
    EXPECT_EQ(LoadU32(b, 16 + (kind == SourceKind::Ntfs ? 49 : 57)), 4u);  // the numbering counter

    const std::vector<StoredRecord> records = Records(file, 85);
    ASSERT_EQ(records.size(), 5u);
    const std::vector<std::u16string> order{u".", u"A", u"g_#_1", u"B", u"f\u00e9.txt"};
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(records[i].name, order[i]);
    EXPECT_EQ(records.back().offset + 64 + 2 * 6, file.size());
    // Link fields are non-zero exactly where a link is set: next, firstChild, parent.
    const std::vector<std::array<bool, 3>> links{{false, true, false}, {true, true, true}, {false, false, true},
                                                 {false, true, true}, {false, false, true}};
    for (size_t i = 0; i < links.size(); ++i) {
      for (size_t field = 0; field < 3; ++field) {
        EXPECT_EQ(LoadU32(b, records[i].offset + 4 * field) != 0, links[i][field]) << i << ' ' << field;
      }
    }
    // The node's fields sit where its kind's layout puts them (the codec's own test has them all).
    const size_t f = records[4].offset;
    EXPECT_EQ(LoadU64(b, f + (kind == SourceKind::Ntfs ? 36 : 12)), 0x1122334455667788u);
    EXPECT_EQ(LoadU32(b, f + (kind == SourceKind::Ntfs ? 44 : 20)), 4u);
    EXPECT_EQ(LoadU8(b, records[2].offset + 60), 1);  // g is checked
    EXPECT_EQ(LoadU8(b, f + 61), kCarveVolume);
  }
}

TEST(ScanFile, RoundTripKeepsShapeFieldsAndParentLinks) {
  for (const SourceKind kind : {SourceKind::Fat16, SourceKind::Ntfs, SourceKind::Disk}) {
    SCOPED_TRACE(int(kind));
    EngineState written;
    BuildSmallTree(written, kind);
    // Two more folders with children, so that blocks follow blocks at every level.
    ScanNode* c = Append(written, written.scanRoot, u"C", kStatusLiveFolder);
    Append(written, Append(written, c, u"c1", kStatusFolder), u"c11", 0);
    Append(written, Append(written, c, u"c2", kStatusFolder), u"c21", 0);
    Append(written, written.scanRoot->firstChild, u"A2", kStatusFolder)->carveSource = kCarveDisk;
    NumberTree(written, written.scanRoot);
    const auto folder =
        std::filesystem::path(testing::TempDir()) / ("scanfile-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "t.qxs").string();
    ASSERT_EQ(WriteScanInfo(written, path), 1);

    // The reader starts from a state of the other layout holding a tree of its own.
    EngineState read;
    BuildSmallTree(read, kind == SourceKind::Ntfs ? SourceKind::Fat32 : SourceKind::Ntfs);
    ASSERT_EQ(ReadScanInfo(read, path), 1);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(Dump(read), Dump(written));
    EXPECT_EQ(read.volumeInfo.kind, kind);
    EXPECT_EQ(read.pool.LiveCount(), 11u);  // the tree read before was freed
    const ScanNode* root = read.scanRoot;
    EXPECT_EQ(root->next, nullptr);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(root->firstChild->next->parent, root);
    EXPECT_EQ(root->firstChild->firstChild->firstChild->parent, root->firstChild->firstChild);
  }
}

TEST(ScanFile, EmptyRootAndTheHalfPath) {
  EngineState state;
  state.volumeInfo.kind = SourceKind::Fat32;
  state.volumePath = u"ab\u0416cd";  // 5 characters: 5 bytes are stored, the last one half of "Ж"
  ScanNode* root = NewNode(state);
  root->name = u"..x";
  state.scanRoot = root;
  const std::string file = Write(state);
  EXPECT_EQ(file.size(), 143u + 5 + 2 * 3);

  EngineState read;
  read.volumePath = u"xy\u2603w";
  ASSERT_EQ(Read(read, file), 1);
  // The low byte of "Ж" lands in the third character; its high byte and the rest stay.
  EXPECT_EQ(read.volumePath, u"ab\u2616w");
  EXPECT_EQ(read.scanRoot->name, u"..x");
  EXPECT_EQ(read.scanRoot->firstChild, nullptr);
  EngineState empty;
  ASSERT_EQ(Read(empty, file), 1);
  EXPECT_EQ(empty.volumePath, u"ab\u0016");
}

TEST(ScanFile, AFileWithoutTheSignatureChangesNothing) {
  EngineState state;
  BuildSmallTree(state, SourceKind::Ntfs);
  const std::string before = Dump(state);
  std::string file = Write(state);
  file[3] = 'X';
  EXPECT_EQ(Read(state, file), 0);
  EXPECT_EQ(Read(state, file.substr(0, 7)), 0);
  EXPECT_EQ(ReadScanInfo(state, "/nonexistent/t.qxs"), 0);
  EXPECT_EQ(Dump(state), before);
  EXPECT_EQ(state.volumePath, u"\\\\.\\E:");
  EXPECT_EQ(WriteScanInfo(state, "/nonexistent/t.qxs"), 0);
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(WriteScanInfo(state, "/dev/full"), 0);
  }
}

// A scan file of a real volume cut at every byte reads as the whole records before the cut.
TEST(ScanFile, ACutFileReadsTheRecordsBeforeTheCut) {
  const std::string corpus = test::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "no sample volumes";
  for (const char* volume : {"dftt-ntfs-7-undel.img", "dftt-fat16-6-undel.img"}) {
    SCOPED_TRACE(volume);
    EngineState scanned;
    ASSERT_EQ(OpenSource(scanned, OpenMode::Image, PosixSourceReader::Open(corpus + "/" + volume, nullptr)), 1);
    scanned.keepRunning = 1;
    ASSERT_EQ(ScanSource(scanned, 0), 1);
    const std::string file = Write(scanned);
    const std::vector<StoredRecord> records = Records(file, 79 + scanned.volumePath.size());
    ASSERT_GT(records.size(), 10u);
    ASSERT_EQ(records.size(), CountNodes(scanned.scanRoot) + 1);

    EngineState read;
    for (size_t cut = 0; cut <= file.size(); ++cut) {
      SCOPED_TRACE(cut);
      ASSERT_EQ(Read(read, file.substr(0, cut)), cut >= 8 ? 1 : 0);
      if (cut < 8) continue;
      size_t whole = 0;  // child records that end inside the cut file
      for (size_t i = 1; i < records.size(); ++i) whole += records[i].offset + 62 <= cut ? 1 : 0;
      ASSERT_EQ(CountNodes(read.scanRoot), whole);
      ASSERT_EQ(read.pool.LiveCount(), whole + 1);
    }
    EXPECT_EQ(Dump(read), Dump(scanned));
  }
}

TEST(ScanFile, HostileFilesAreReadWithinTheirSize) {
  EngineState state;
  const std::string header("TAF-\xAA\x55\0\0", 8);
  // Lengths of 65535 over a short file, and a folder flag without a block.
  std::string huge = header + "\xFF\xFF" + std::string(69, '\0');
  EXPECT_EQ(Read(state, huge), 1);
  std::string root(62, '\0');
  root[4] = 1;  // firstChild set
  EXPECT_EQ(Read(state, header + std::string(2 + 69, '\0') + root + std::string("\x01\0.\0", 4)), 1);
  EXPECT_EQ(state.scanRoot->name, u".");
  EXPECT_EQ(state.scanRoot->firstChild, nullptr);
  std::string child(62, '\0');
  child[0] = 1;  // next set, and a name of 65535 characters that is not there
  EXPECT_EQ(Read(state, header + std::string(2 + 69, '\0') + root + std::string("\0\0", 2) + child + "\xFF\xFFZ"), 1);
  EXPECT_EQ(CountNodes(state.scanRoot), 1u);
  EXPECT_EQ(state.scanRoot->firstChild->name, u"Z");

  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string file = header;
    file.resize(8 + random() % 4096);
    for (size_t i = 8; i < file.size(); ++i) file[i] = static_cast<char>(random() % 4 == 0 ? 1 : random());
    ASSERT_EQ(Read(state, file), 1);
    EXPECT_LE(CountNodes(state.scanRoot), file.size() / 64);
  }
}

TEST(ScanFile, DeepAndLongTreesWriteAndReadWithoutRecursion) {
  EngineState state;
  ScanNode* folder = NewNode(state);
  state.scanRoot = folder;
  for (int depth = 0; depth < 50000; ++depth) {
    ScanNode* below = Append(state, folder, u"d", kStatusFolder);
    Append(state, folder, u"f", 0);
    folder = below;
  }
  NumberTree(state, state.scanRoot);
  const std::string file = Write(state);
  EngineState read;
  ASSERT_EQ(Read(read, file), 1);
  EXPECT_EQ(CountNodes(read.scanRoot), 100000u);
  const ScanNode* deepest = read.scanRoot;
  size_t depth = 0;
  for (; deepest->firstChild != nullptr; ++depth) deepest = deepest->firstChild;
  EXPECT_EQ(depth, 50000u);
  EXPECT_EQ(deepest->parent->firstChild->next->name, u"f");
}

}  // namespace
}  // namespace restora
