// SPDX-License-Identifier: GPL-3.0-or-later
#include "JobVolumes.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "FatImageBuilder.h"
#include "ImageFile.h"
#include "NtfsImageBuilder.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "TextCodec.h"

namespace restora::test {

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Headed(const std::vector<uint8_t>& head, std::vector<uint8_t> bytes) {
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

JobVolume NtfsJobVolume() {
  NtfsImageBuilder b(NtfsGeometry{1, -10, 1024, 64, 32, 64});
  const uint16_t liveFolder = kRecordInUse | kRecordFolder;
  b.AddFolder(16, u"docs", 5, liveFolder);
  b.AddFolder(17, u"old", 16, kRecordFolder);
  b.AddFolder(18, u"older", 17, kRecordFolder);
  b.AddFile(20, u"a.txt", 16, 0).ResidentData(std::vector<uint8_t>(100, 'a'));
  b.AddFile(21, u"b.txt", 17, 0).ResidentData(std::vector<uint8_t>(200, 'b'));
  b.AddFile(22, u"photo.jpg", 18, 0).NonResident(b.DataStream(Headed(kJpegHeader, std::vector<uint8_t>(3000, 0x11)), 3));
  b.AddFile(23, u"live.txt", 16, kRecordInUse).ResidentData(std::vector<uint8_t>(10, 'l'));
  b.AddFile(24, u"orphan.txt", 40, 0).ResidentData(std::vector<uint8_t>(30, 'o'));
  b.AddFile(25, u"paper.pdf", 5, 0).NonResident(b.DataStream(Headed(kPdfHeader, std::vector<uint8_t>(5000, 0x22)), 2));
  b.AddFolder(30, u"loopA", 31, kRecordFolder), b.AddFolder(31, u"loopB", 30, kRecordFolder);
  b.AddFile(32, u"in-loop.txt", 30, 0).ResidentData(std::vector<uint8_t>(40, 'i'));
  b.AddFile(40, u"not-a-folder", 5, kRecordInUse).ResidentData(std::vector<uint8_t>(5, 'n'));
  for (uint64_t n = 41; n < 50; ++n) {
    b.AddFile(n, u"many" + std::u16string(1, static_cast<char16_t>(u'0' + (n - 41))), 16, 0)
        .ResidentData(std::vector<uint8_t>(n, 'm'));
  }
  b.WriteClusters(700, Headed(kJpegHeader, std::vector<uint8_t>(600, 0x33)));
  b.WriteClusters(1000, Headed(kPdfHeader, std::vector<uint8_t>(512, 0x44)));
  return {"NTFS", b.Build(), {}, true};
}

JobVolume FatJobVolume(FatWidth width) {
  FatImageBuilder b(FatLayout{width, 2048, 1});
  auto entry = [](const char* shortName, std::u16string longName, bool deleted, bool folder = false) {
    return FatEntry{shortName, std::move(longName), static_cast<uint8_t>(folder ? kFatAttrFolder : 0x20), 0, 0, deleted};
  };
  const uint32_t root = b.RootFolder();
  const uint32_t docs = b.AddFolder(root, entry("DOCS", u"Documents", false, true));
  const uint32_t old = b.AddFolder(docs, entry("OLD", u"old things", true, true));
  const uint32_t older = b.AddFolder(old, entry("OLDER", {}, true, true));
  b.AddFile(root, entry("PAPER.PDF", u"a paper.pdf", true), Headed(kPdfHeader, FatImageBuilder::Pattern(3000, 1)));
  b.AddFile(docs, entry("A.TXT", u"a deleted note.txt", true), FatImageBuilder::Pattern(700, 2));
  b.AddFile(docs, entry("LIVE.TXT", {}, false), FatImageBuilder::Pattern(100, 3));
  b.AddFile(old, entry("PHOTO.JPG", u"holiday photo.jpg", false), Headed(kJpegHeader, FatImageBuilder::Pattern(2000, 4)));
  b.AddFile(old, entry("B.TXT", {}, true), FatImageBuilder::Pattern(300, 5));
  b.AddFile(older, entry("C.BIN", u"deep down.bin", true), FatImageBuilder::Pattern(5000, 6));
  for (int i = 0; i < 14; ++i) {  // DOCS grows into a second cluster
    const std::string name = "F" + std::to_string(i) + ".TXT";
    b.AddFile(docs, entry(name.c_str(), {}, i % 3 == 0), FatImageBuilder::Pattern(50 + i, 10 + i));
  }
  b.AddFile(docs, entry("LAST.TXT", u"the last one.txt", true), FatImageBuilder::Pattern(90, 30));

  JobVolume volume{width == FatWidth::Fat16 ? "FAT16" : "FAT32", {}, {}, false};
  for (uint64_t s = 0; s < b.ClusterOffset(2) / 512; ++s) volume.sectorsReadByScan.insert(s);
  for (uint32_t folder : {root, docs, old, older}) {
    for (uint32_t cluster = folder; cluster >= 2 && cluster <= b.HighestCluster(); cluster = b.Fat(cluster)) {
      volume.sectorsReadByScan.insert(b.ClusterOffset(cluster) / 512);
    }
  }
  volume.bytes = b.Take();
  return volume;
}

// A source over bytes the test keeps (no copy per run).
class BorrowedBytesReader : public SourceReader {
 public:
  explicit BorrowedBytesReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered = nullptr) override {
    size_t count = 0;
    if (offset < bytes_.size()) {
      count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes_.size() - offset));
      std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, buffer.begin());
    }
    if (delivered != nullptr) *delivered = count;
    return 1;
  }
  uint64_t SizeBytes() const override { return bytes_.size(); }
  std::string Describe() const override { return "borrowed"; }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace

std::vector<JobVolume> JobVolumes() {
  return {NtfsJobVolume(), FatJobVolume(FatWidth::Fat16), FatJobVolume(FatWidth::Fat32)};
}

std::multiset<FoundEntry> FoundFiles(const EngineState& state) {
  std::multiset<FoundEntry> files;
  if (state.scanRoot == nullptr) return files;
  std::vector<const ScanNode*> lists{state.scanRoot->firstChild};
  while (!lists.empty()) {
    const ScanNode* node = lists.back();
    lists.pop_back();
    for (; node != nullptr; node = node->next) {
      if (!node->IsFolderStatus()) {
        files.emplace(Utf16ToUtf8(node->name), node->size, state.NtfsLayout() ? node->location : node->firstCluster,
                      node->carveSource != kCarveNone);
      }
      if (node->firstChild != nullptr) lists.push_back(node->firstChild);
    }
  }
  return files;
}

std::multiset<FoundEntry> Missing(const std::multiset<FoundEntry>& whole, const std::multiset<FoundEntry>& part) {
  std::multiset<FoundEntry> missing;
  std::set_difference(whole.begin(), whole.end(), part.begin(), part.end(), std::inserter(missing, missing.end()));
  return missing;
}

const char* JobName(Job job) {
  static const char* const kNames[] = {"FastScan", "LostFileSearch", "DiskSearch", "Image", "SaveFiles", "SaveFound"};
  return kNames[static_cast<int>(job)];
}

JobRun::JobRun(std::span<const uint8_t> bytes, Job job, const std::function<void(FaultInjectingReader&)>& arrange,
               uint64_t stopAt) {
  auto reader = std::make_unique<FaultInjectingReader>(std::make_unique<BorrowedBytesReader>(bytes));
  faults = reader.get();
  const bool scanOnly = job == Job::FastScan || job == Job::LostFileSearch || job == Job::DiskSearch;
  if (scanOnly && arrange) arrange(*faults);
  sink.state = &state;
  sink.reader = faults;
  sink.stopAt = scanOnly ? stopAt : 0;
  state.progress = &sink;
  const bool disk = job == Job::DiskSearch || job == Job::SaveFound;
  opened = OpenSource(state, disk ? OpenMode::PhysicalDisk : OpenMode::Image, std::move(reader), u"test");
  if (opened != 1) return;
  if (job != Job::FastScan) state.signatureList = {SearchType("jpg", kJpegHeader), SearchType("pdf", kPdfHeader)};
  state.keepRunning = 1;
  result = job == Job::Image ? 1 : ScanSource(state, job == Job::FastScan || job == Job::SaveFiles ? 0 : 1);
  if (scanOnly) {
    if (sink.stopped) readsAfterStop = faults->ReadCount() - sink.readsAtStop;
    found = FoundFiles(state);
    return;
  }
  if (result != 1) return;
  if (arrange) arrange(*faults);
  sink.stopAt = stopAt == 0 ? 0 : sink.checkpoints + stopAt;
  TempFolder parent;
  const std::string dest = parent.Path() + "/dest";
  if (job == Job::Image) {
    ImageStats stats;
    result = WriteImageFile(state, dest, &stats);
    imageBlocks = stats.blocksWritten;
    image = ReadWholeFile(dest);
    return;
  }
  fs::create_directory(dest);
  auto destination = PosixDestination::Open(dest, nullptr);
  SetChecked(state.scanRoot->firstChild, 1);
  result = SaveCheckedEntries(state, *destination, nullptr);
  for (const auto& entry : fs::directory_iterator(parent.Path())) escaped |= entry.path().filename() != "dest";
  for (const auto& entry : fs::recursive_directory_iterator(dest)) {
    const std::string relative = fs::relative(entry.path(), dest).string();
    escaped |= relative.rfind('#', 0) != 0 || entry.is_symlink();
    if (entry.is_directory()) {
      saved[relative] = {'/'};
    } else {
      escaped |= !entry.is_regular_file();
      saved[relative] = ReadWholeFile(entry.path().string());
    }
  }
}

JobRun::~JobRun() { CleanUp(state); }

bool ZerosWhereReadsFailed(const std::vector<uint8_t>& got, const std::vector<uint8_t>& healthy) {
  if (got.size() > healthy.size()) return false;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != healthy[i] && got[i] != 0) return false;
  }
  return true;
}

}  // namespace restora::test
