// SPDX-License-Identifier: GPL-3.0-or-later
// The signature search: the "Raw Data" tree it builds, sizes at the end of the source, the
// compound-document family, stop and progress, failing reads, and the same result as the plain
// sector-by-record loop however the sectors are read and dispatched.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "CompoundDocument.h"
#include "CompoundDocumentTest.h"
#include "FaultInjectingReader.h"
#include "FoundFile.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "SignatureSearch.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace restora {
namespace {

SignatureRecord Type(const char* extension, const char* category, uint16_t offset, std::vector<uint8_t> bytes,
                     uint32_t maxSizeMiB = 1024) {
  SignatureRecord record;
  std::strncpy(record.extension.data(), extension, 31);
  std::strncpy(record.category.data(), category, 12);
  std::strncpy(record.typeName.data(), extension, 255);
  record.selected = 1;
  record.headerOffset = offset;
  record.headerLength = static_cast<uint8_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), record.headerBytes.begin());
  record.maxSizeMiB = maxSizeMiB;
  return record;
}

void Plant(std::vector<uint8_t>& disk, uint64_t sector, const SignatureRecord& record) {
  std::memcpy(disk.data() + sector * 512 + record.headerOffset, record.headerBytes.data(), record.headerLength);
}

const SignatureRecord kJpeg = Type("jpg", "Photos", 0, {0xFF, 0xD8, 0xFF, 0xE0});
const SignatureRecord kPdf = Type("pdf", "Documents", 0, {'%', 'P', 'D', 'F', '-'});

// A volume of the given kind over bytes, with a root to file into.
void OpenVolume(EngineState& state, std::unique_ptr<SourceReader> reader, SourceKind kind, uint64_t totalSectors) {
  state.deviceHandle = std::move(reader);
  state.volumeInfo.kind = kind;
  state.volumeInfo.totalSectors = totalSectors;
  state.scanRoot = NewNode(state);
  state.scanRoot->name = u".";
  state.scanRoot->status = kStatusLiveFolder;
}

void OpenVolume(EngineState& state, std::vector<uint8_t> bytes, SourceKind kind, uint64_t totalSectors) {
  OpenVolume(state, std::make_unique<MemorySourceReader>(std::move(bytes)), kind, totalSectors);
}

// Every node below root, depth first in list order, with the fields the search sets.
std::vector<std::string> Listing(const ScanNode* root) {
  std::vector<std::string> lines;
  std::vector<std::pair<const ScanNode*, std::string>> levels{{root->firstChild, ""}};
  while (!levels.empty()) {
    const ScanNode* node = levels.back().first;
    if (node == nullptr) {
      levels.pop_back();
      continue;
    }
    levels.back().first = node->next;
    const std::string path = levels.back().second + Utf16ToUtf8(node->name);
    lines.push_back(path + " size=" + std::to_string(node->size) + " location=" + std::to_string(node->location) +
                    " cluster=" + std::to_string(node->firstCluster) + " carve=" + std::to_string(node->carveSource) +
                    " status=" + std::to_string(node->status) + " length=" + std::to_string(node->nameLength));
    if (node->firstChild != nullptr) levels.emplace_back(node->firstChild, path + "/");
  }
  return lines;
}

std::vector<std::string> Names(const ScanNode* folder) {
  std::vector<std::string> names;
  for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
    names.push_back(Utf16ToUtf8(child->name));
  }
  return names;
}

// The search as the plain loop does it: 63-sector blocks, each read on its own into a cleared
// buffer, every sector compared with every record from the list's head.
void ReferenceSearch(EngineState& state) {
  ScanNode* rawData = CreateRawDataFolder(state);
  const uint64_t total = state.volumeInfo.totalSectors;
  std::vector<uint8_t> block(63 * 512);
  for (uint64_t b = 0; b < total; b += 63) {
    std::fill(block.begin(), block.end(), uint8_t{0});
    (void)ReadSectors(state, b, block);
    for (uint64_t i = 0; i < 63; ++i) {
      const uint8_t* sector = block.data() + i * 512;
      for (const SignatureRecord& record : state.signatureList) {
        if (std::memcmp(sector + record.headerOffset, record.headerBytes.data(), record.headerLength) != 0) continue;
        if (!IsCompoundDocumentHit(record)) {
          AddFoundFileTo(state, rawData, b + i, record);
          continue;
        }
        if (const SignatureRecord* type = IdentifyCompoundDocument(state, b + i)) {
          AddFoundFileTo(state, rawData, b + i, *type);
          break;
        }
      }
    }
  }
}

// Records progress steps and clears keepRunning at the stopAt-th checkpoint.
class RecordingSink : public ProgressSink {
 public:
  RecordingSink(EngineState& state, int stopAt) : state_(state), stopAt_(stopAt) {}
  void Progress(uint64_t done, uint64_t total) override { steps.emplace_back(done, total); }
  void Checkpoint() override {
    if (++checkpoints_ == stopAt_) state_.keepRunning = 0;
  }
  void Diagnostic(std::string_view line) override { diagnostics.emplace_back(line); }
  std::vector<std::pair<uint64_t, uint64_t>> steps;
  std::vector<std::string> diagnostics;

 private:
  EngineState& state_;
  int stopAt_;
  int checkpoints_ = 0;
};

TEST(SignatureSearch, EmptySourceOrEmptyListLeavesAnEmptyRawDataFolder) {
  EngineState state;
  OpenVolume(state, std::vector<uint8_t>(512), SourceKind::Ntfs, 0);
  state.signatureList = {kJpeg};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 1);
  ASSERT_NE(state.scanRoot->firstChild, nullptr);
  EXPECT_EQ(Listing(state.scanRoot),
            std::vector<std::string>{"Raw Data size=0 location=0 cluster=0 carve=0 status=3 length=0"});

  EngineState empty;
  std::vector<uint8_t> disk(100 * 512);
  Plant(disk, 3, kJpeg);
  OpenVolume(empty, disk, SourceKind::Fat32, 100);
  RecordingSink sink(empty, -1);
  empty.progress = &sink;
  empty.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(empty), 1);
  EXPECT_EQ(Listing(empty.scanRoot).size(), 1u);
  // The whole source is still walked block by block.
  EXPECT_EQ(sink.steps, (std::vector<std::pair<uint64_t, uint64_t>>{{0, 100}, {63, 100}}));
}

TEST(SignatureSearch, AdvancedSearchOnADiskFilesHitsWithSizesCutAtTheEnd) {
  EngineState state;
  std::vector<uint8_t> disk(4096 * 512);
  const SignatureRecord small = Type("bin", "Other", 100, {'B', 'I', 'N', '!'}, 1);  // 1 MiB = 2048 sectors
  for (uint64_t sector : {0, 2048, 2049, 4095}) Plant(disk, sector, small);
  Plant(disk, 0, kJpeg);
  Plant(disk, 4095, kJpeg);
  ASSERT_EQ(test::OpenMemorySource(state, disk, OpenMode::PhysicalDisk), 1);
  state.signatureList = {small, kJpeg};
  state.keepRunning = 1;
  EXPECT_EQ(ScanSource(state, 0), 1);  // a disk is searched whatever the argument
  EXPECT_TRUE(state.signatureList.empty());
  const std::vector<std::string> expected = {
      "Raw Data size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Photos size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Photos/jpg size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Photos/jpg/4095.jpg size=512 location=4095 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Photos/jpg/0.jpg size=2097152 location=0 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Other size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Other/bin size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Other/bin/4095.bin size=512 location=4095 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Other/bin/2049.bin size=1048064 location=2049 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Other/bin/2048.bin size=1048576 location=2048 cluster=0 carve=1 status=0 length=0",  // ends at the end
      "Raw Data/Other/bin/0.bin size=1048576 location=0 cluster=0 carve=1 status=0 length=0",
  };
  EXPECT_EQ(Listing(state.scanRoot), expected);
  EXPECT_NE(state.scanRoot->firstChild->id, 0u);  // the driver numbered the tree
}

TEST(SignatureSearch, LostFileSearchPutsRawDataFirstAndKeepsTheLowSectorBitsOnFat) {
  EngineState state;
  std::vector<uint8_t> volume(200 * 512);
  Plant(volume, 150, kPdf);
  OpenVolume(state, volume, SourceKind::Fat32, 200);
  ScanNode* directoryFolder = NewNode(state);
  directoryFolder->name = u"DOCS";
  directoryFolder->status = kStatusLiveFolder;
  PushChildFront(state.scanRoot, directoryFolder);
  state.signatureList = {kPdf};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 1);
  EXPECT_EQ(Names(state.scanRoot), (std::vector<std::string>{"Raw Data", "DOCS"}));
  const ScanNode* found = state.scanRoot->firstChild->firstChild->firstChild->firstChild;
  EXPECT_EQ(Utf16ToUtf8(found->name), "150.pdf");
  EXPECT_EQ(found->firstCluster, 150u);
  EXPECT_EQ(found->location, 0u);
  EXPECT_EQ(found->carveSource, kCarveVolume);
  EXPECT_EQ(found->size, 50u * 512);

  // Sectors 2^32 apart get different names; FAT keeps the low 32 bits, a disk all 64.
  state.volumeInfo.totalSectors = uint64_t{1} << 40;
  const uint64_t high = (uint64_t{1} << 32) + 150;
  EXPECT_EQ(AddFoundFile(state, high, kPdf), 1);
  const ScanNode* highNode = state.scanRoot->firstChild->firstChild->firstChild->firstChild;
  EXPECT_EQ(Utf16ToUtf8(highNode->name), "4294967446.pdf");
  EXPECT_EQ(highNode->firstCluster, 150u);
  EXPECT_EQ(highNode->size, 1024u * 1048576);
  EXPECT_EQ(AddFoundFile(state, uint64_t{1} << 40, kPdf), 0);  // at the end: no byte to hold

  state.volumeInfo.kind = SourceKind::Disk;
  EXPECT_EQ(AddFoundFile(state, high, kPdf), 1);
  EXPECT_EQ(state.scanRoot->firstChild->firstChild->firstChild->firstChild->location, high);
}

TEST(SignatureSearch, EveryMatchingTypeFilesItsOwnHitWithFoldersMadeOnDemand) {
  EngineState state;
  std::vector<uint8_t> disk(64 * 512);
  const SignatureRecord same = Type("jpe", "Photos", 0, {0xFF, 0xD8, 0xFF, 0xE0});  // kJpeg's signature
  const SignatureRecord longer = Type("jfif", "Pictures", 0, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
  Plant(disk, 5, longer);
  Plant(disk, 9, kJpeg);
  Plant(disk, 7, kPdf);
  OpenVolume(state, disk, SourceKind::Disk, 64);
  state.signatureList = {kJpeg, longer, kPdf, same};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 1);
  const ScanNode* rawData = state.scanRoot->firstChild;
  EXPECT_EQ(Names(rawData), (std::vector<std::string>{"Documents", "Pictures", "Photos"}));
  const ScanNode* photos = rawData->firstChild->next->next;
  EXPECT_EQ(Names(photos), (std::vector<std::string>{"jpe", "jpg"}));
  EXPECT_EQ(Names(photos->firstChild), (std::vector<std::string>{"9.jpe", "5.jpe"}));
  EXPECT_EQ(Names(photos->firstChild->next), (std::vector<std::string>{"9.jpg", "5.jpg"}));
  EXPECT_EQ(Names(rawData->firstChild->next->firstChild), std::vector<std::string>{"5.jfif"});
}

TEST(SignatureSearch, CompoundDocumentsAreFiledByTheirDirectoryOncePerSector) {
  EngineState state;
  std::vector<uint8_t> disk(2000 * 512);
  test::PlantCompoundDocument(disk, 10, 0, 3, {u"Root Entry", u"1Table", u"WordDocument"});
  test::PlantCompoundDocument(disk, 100, 4, 1, {u"Root Entry", u"PowerPoint Document"});
  test::PlantCompoundDocument(disk, 200, 0, 2, {u"Root Entry", u"Workbook"});
  test::PlantCompoundDocument(disk, 300, 0, 1, {u"Not a root"});
  test::PlantCompoundDocument(disk, 1990, 0, 1, {u"Root Entry", u"Workbook"});  // runs past the end
  OpenVolume(state, disk, SourceKind::Disk, 2000);
  // xls comes first in the list, but the directory decides; a non-family type with the same
  // signature keeps its own hits.
  SignatureRecord message = test::CompoundRecord("msg", 0);
  message.maxSizeMiB = 1024;
  state.signatureList = {test::CompoundRecord("xls", 2), test::CompoundRecord("doc", 2),
                         test::CompoundRecord("ppt", 2), message};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 1);
  const std::vector<std::string> expected = {
      "Raw Data size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents/msg size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents/msg/300.msg size=870400 location=300 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Documents/xls size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents/xls/1990.xls size=5120 location=1990 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Documents/xls/200.xls size=131584 location=200 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Documents/ppt size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents/ppt/100.ppt size=66048 location=100 cluster=0 carve=1 status=0 length=0",
      "Raw Data/Documents/doc size=0 location=0 cluster=0 carve=0 status=3 length=0",
      "Raw Data/Documents/doc/10.doc size=197120 location=10 cluster=0 carve=1 status=0 length=0",
  };
  EXPECT_EQ(Listing(state.scanRoot), expected);

  // With only doc selected, the workbook and the presentation yield nothing.
  EngineState onlyDoc;
  OpenVolume(onlyDoc, disk, SourceKind::Disk, 2000);
  onlyDoc.signatureList = {test::CompoundRecord("doc", 2)};
  onlyDoc.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(onlyDoc), 1);
  const std::vector<std::string> lines = Listing(onlyDoc.scanRoot);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3].substr(0, 29), "Raw Data/Documents/doc/10.doc");
}

TEST(SignatureSearch, StopIsHonouredBeforeEachBlockAndProgressCountsBlocks) {
  EngineState state;
  std::vector<uint8_t> disk(1000 * 512);
  for (uint64_t sector : {10, 251, 252, 400}) Plant(disk, sector, kJpeg);
  OpenVolume(state, disk, SourceKind::Ntfs, 1000);
  RecordingSink sink(state, 5);  // blocks 0 to 3 run, the fifth check stops
  state.progress = &sink;
  state.signatureList = {kJpeg};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 0);
  EXPECT_EQ(sink.steps, (std::vector<std::pair<uint64_t, uint64_t>>{{0, 1000}, {63, 1000}, {126, 1000}, {189, 1000}}));
  EXPECT_EQ(Names(state.scanRoot->firstChild->firstChild->firstChild), (std::vector<std::string>{"251.jpg", "10.jpg"}));

  EngineState stopped;
  OpenVolume(stopped, disk, SourceKind::Ntfs, 1000);
  stopped.signatureList = {kJpeg};
  stopped.keepRunning = 0;
  EXPECT_EQ(SearchSignatures(stopped), 0);
  EXPECT_EQ(Names(stopped.scanRoot), std::vector<std::string>{"Raw Data"});
}

TEST(SignatureSearch, FailingReadsLoseOnlyTheirOwnBlock) {
  const uint64_t total = 9000;  // more than one large read
  std::vector<uint8_t> disk(total * 512);
  const std::vector<uint64_t> planted = {62, 63, 125, 126, 8063, 8064, 8100};
  for (uint64_t sector : planted) Plant(disk, sector, kJpeg);

  EngineState failing;
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(disk));
  reader->FailSector(70);    // block 63..125
  reader->FailSector(8070);  // block 8064..8126
  OpenVolume(failing, std::move(reader), SourceKind::Ntfs, total);
  failing.signatureList = {kJpeg};
  failing.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(failing), 1);
  EXPECT_EQ(Names(failing.scanRoot->firstChild->firstChild->firstChild),
            (std::vector<std::string>{"8063.jpg", "126.jpg", "62.jpg"}));

  // A source that delivers only 10 sectors per read: each 63-sector block sees its first 10.
  EngineState shortReads;
  auto limited = std::make_unique<FaultInjectingReader>(std::make_unique<MemorySourceReader>(disk));
  limited->LimitReadsTo(10 * 512);
  OpenVolume(shortReads, std::move(limited), SourceKind::Ntfs, total);
  shortReads.signatureList = {kJpeg};
  shortReads.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(shortReads), 1);
  EXPECT_EQ(Names(shortReads.scanRoot->firstChild->firstChild->firstChild),
            (std::vector<std::string>{"8064.jpg", "126.jpg", "63.jpg"}));
}

TEST(SignatureSearch, SectorsPastTheEndAndUnusableRecordsYieldNothing) {
  EngineState state;
  std::vector<uint8_t> volume(150 * 512);
  Plant(volume, 99, kJpeg);
  Plant(volume, 110, kJpeg);  // in the last block, past totalSectors
  OpenVolume(state, volume, SourceKind::Fat16, 100);
  SignatureRecord empty = Type("all", "Other", 0, {});
  SignatureRecord outside = Type("out", "Other", 510, {0, 0, 0, 0});
  RecordingSink sink(state, -1);
  state.progress = &sink;
  state.signatureList = {empty, kJpeg, outside};
  state.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(state), 1);
  EXPECT_EQ(Names(state.scanRoot->firstChild), std::vector<std::string>{"Photos"});
  EXPECT_EQ(Names(state.scanRoot->firstChild->firstChild->firstChild), std::vector<std::string>{"99.jpg"});
  EXPECT_EQ(state.scanRoot->firstChild->firstChild->firstChild->firstChild->size, 512u);
  EXPECT_EQ(sink.diagnostics.size(), 2u);

  // A boot sector claiming 2^60 sectors over a 100-sector source: the search ends at the
  // source's end, and sizes are still cut by totalSectors only.
  EngineState huge;
  OpenVolume(huge, std::vector<uint8_t>(volume.begin(), volume.begin() + 100 * 512), SourceKind::Ntfs,
             uint64_t{1} << 60);
  huge.signatureList = {kJpeg};
  huge.keepRunning = 1;
  EXPECT_EQ(SearchSignatures(huge), 1);
  EXPECT_EQ(Names(huge.scanRoot->firstChild->firstChild->firstChild), std::vector<std::string>{"99.jpg"});
  EXPECT_EQ(huge.scanRoot->firstChild->firstChild->firstChild->firstChild->size, 1024u * 1048576);
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
    const auto maxSizeMiB = static_cast<uint32_t>(pick(3));
    list.push_back(Type(extensions[pick(5)], categories[pick(3)], offsets[pick(6)], bytes, maxSizeMiB));
  }
  list.insert(list.begin() + 7, test::CompoundRecord("xls", 2));
  list.push_back(test::CompoundRecord("doc", 2));
  list.push_back(test::CompoundRecord("ppt", 2));

  const uint64_t sectors = 9100;  // past one large read; the last block runs past totalSectors
  std::vector<uint8_t> disk(sectors * 512);
  for (uint8_t& byte : disk) byte = alphabet[pick(4)];
  test::PlantCompoundDocument(disk, 70, 0, 1, {u"Root Entry", u"WordDocument"});
  test::PlantCompoundDocument(disk, 8063, 2, 1, {u"Root Entry", u"Workbook"});
  test::PlantCompoundDocument(disk, 9000, 0, 1, {u"Root Entry", u"x"});

  for (const SourceKind kind : {SourceKind::Disk, SourceKind::Fat32}) {
    EngineState fast, plain;
    OpenVolume(fast, disk, kind, 9050);
    OpenVolume(plain, disk, kind, 9050);
    fast.signatureList = plain.signatureList = list;
    fast.keepRunning = 1;
    EXPECT_EQ(SearchSignatures(fast), 1);
    ReferenceSearch(plain);
    const std::vector<std::string> expected = Listing(plain.scanRoot);
    EXPECT_GT(expected.size(), 500u);  // the data gives plenty of hits to order
    EXPECT_EQ(Listing(fast.scanRoot), expected);
  }
}

}  // namespace
}  // namespace restora
