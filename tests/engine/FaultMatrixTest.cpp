// SPDX-License-Identifier: GPL-3.0-or-later
// Every job on every small volume under every fault of a failing medium: a failed sector swept
// over the volume, reads cut short, a source that dies after k reads, and a stop at every check.
// A scan ends with a numbered, consistent tree that lists nothing the healthy medium does not
// hold and loses only what lies on a failed sector; an image holds zeros exactly where reads
// failed; a save stays inside DEST/# and fills files only with the healthy bytes or zeros; a
// stopped job does nothing more, keeps a prefix of whole blocks or whole files, and returns 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "FatImageBuilder.h"
#include "ImageFile.h"
#include "NtfsImageBuilder.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "TestSupport.h"

namespace restora::test {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kJpegHeader = {0xFF, 0xD8, 0xFF, 0xE0};

// Live and deleted folders three deep, files with long names, in several clusters or fragments,
// a folder loop (NTFS), and files and free clusters that begin with a JPEG or PDF header.
// sectorsReadByScan (FAT only): what the walk reads, the area before the data and the folders.
struct JobVolume {
  std::string name;
  std::vector<uint8_t> bytes;
  std::set<uint64_t> sectorsReadByScan;
  bool ntfs = false;
};

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

std::multiset<FoundEntry> Missing(const std::multiset<FoundEntry>& whole, const std::multiset<FoundEntry>& part) {
  std::multiset<FoundEntry> missing;
  std::set_difference(whole.begin(), whole.end(), part.begin(), part.end(), std::inserter(missing, missing.end()));
  return missing;
}

enum class Job { FastScan, LostFileSearch, DiskSearch, Image, SaveFiles, SaveFound };

// One run of a job. Scans meet the faults from the open on; imaging and saves scan a healthy
// source first (fast scan, or the disk search for SaveFound) and meet the faults and the stop
// (counted from the job's own first check) in their own part.
struct JobRun {
  JobRun(std::span<const uint8_t> bytes, Job job, const std::function<void(FaultInjectingReader&)>& arrange = {},
         uint64_t stopAt = 0) {
    auto reader = std::make_unique<FaultInjectingReader>(
        std::make_unique<MemorySourceReader>(std::vector<uint8_t>(bytes.begin(), bytes.end())));
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
  ~JobRun() { CleanUp(state); }
  JobRun(const JobRun&) = delete;

  EngineState state;
  RecordingSink sink;
  FaultInjectingReader* faults = nullptr;  // owned by state.deviceHandle
  int opened = 0;
  int result = -1;
  uint64_t readsAfterStop = 0;
  std::multiset<FoundEntry> found;
  std::vector<uint8_t> image;
  uint64_t imageBlocks = 0;
  std::map<std::string, std::vector<uint8_t>> saved;  // path below DEST → content; folders "/"
  bool escaped = false;  // something other than DEST/# or a plain file or folder appeared
};

// Every byte of got is the healthy byte or a zero, and got is no longer.
bool ZerosWhereReadsFailed(const std::vector<uint8_t>& got, const std::vector<uint8_t>& healthy) {
  if (got.size() > healthy.size()) return false;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != healthy[i] && got[i] != 0) return false;
  }
  return true;
}

enum class Fault { FailedSector, ShortReads, DiesAfterReads, StopAtCheck };
constexpr const char* kFaultNames[] = {"FailedSector", "ShortReads", "DiesAfterReads", "StopAtCheck"};
constexpr const char* kJobNames[] = {"FastScan", "LostFileSearch", "DiskSearch", "Image", "SaveFiles", "SaveFound"};

const std::vector<JobVolume>& Volumes() {
  static const std::vector<JobVolume> volumes = {NtfsJobVolume(), FatJobVolume(FatWidth::Fat16), FatJobVolume(FatWidth::Fat32)};
  return volumes;
}

bool IsScan(Job job) { return job == Job::FastScan || job == Job::LostFileSearch || job == Job::DiskSearch; }
bool IsSave(Job job) { return job == Job::SaveFiles || job == Job::SaveFound; }

class FaultMatrix : public ::testing::TestWithParam<std::tuple<int, Job, Fault>> {
 protected:
  const JobVolume& volume = Volumes()[std::get<0>(GetParam())];
  const Job job = std::get<1>(GetParam());
  const Fault fault = std::get<2>(GetParam());
  const uint64_t sectors = volume.bytes.size() / 512;

  // The source with the given 63-sector blocks zeroed, padded to whole blocks.
  std::vector<uint8_t> ExpectedImage(std::set<uint64_t> zeroBlocks) const {
    std::vector<uint8_t> bytes = volume.bytes;
    bytes.resize(ImageBlockCount(sectors) * kImageBlockBytes);
    for (uint64_t block : zeroBlocks) {
      std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(block * kImageBlockBytes), kImageBlockBytes, 0);
    }
    return bytes;
  }

  // Whether a failed sector may take a found entry away: a found file when the sector lies in
  // its 63-sector search block; on NTFS a file whose record holds it; on FAT any file when the
  // sector is one the walk reads (what lies below a folder goes with it).
  bool MayLose(const FoundEntry& entry, uint64_t sector, uint64_t sectorsPerRecord) const {
    const uint64_t where = std::get<2>(entry);
    if (std::get<3>(entry)) return where / 63 == sector / 63;
    if (volume.ntfs) return where <= sector && sector < where + sectorsPerRecord;
    return volume.sectorsReadByScan.count(sector) == 1;
  }

  // The checks every faulty run shares; returns whether the run lost or changed anything.
  bool CheckAgainst(const JobRun& run, const JobRun& healthy, const std::string& where, bool stopped = false) const {
    if (IsScan(job)) {
      EXPECT_EQ(test::TreeFault(run.state), "") << where;
      for (const FoundEntry& extra : Missing(run.found, healthy.found)) {
        ADD_FAILURE() << where << ": lists " << std::get<0>(extra) << " that is not there";
      }
      return run.found != healthy.found;
    }
    if (job == Job::Image) {
      if (!stopped) { EXPECT_EQ(run.image.size(), healthy.image.size()) << where; }
      EXPECT_TRUE(ZerosWhereReadsFailed(run.image, healthy.image)) << where << ": other bytes";
      return run.image != healthy.image;
    }
    EXPECT_FALSE(run.escaped) << where;
    if (!stopped) { EXPECT_EQ(run.saved.size(), healthy.saved.size()) << where << ": every entry is still created"; }
    size_t differing = 0;
    for (const auto& [path, content] : run.saved) {
      const auto match = healthy.saved.find(path);
      if (match == healthy.saved.end()) {
        ADD_FAILURE() << where << ": saved " << path << " that a healthy save does not";
      } else if (content != match->second) {
        ++differing;
        EXPECT_TRUE(ZerosWhereReadsFailed(content, match->second)) << where << ": " << path << " holds other bytes";
      }
    }
    return differing > 0;
  }
};

TEST_P(FaultMatrix, EndsSoundly) {
  const JobRun healthy(volume.bytes, job);
  ASSERT_EQ(healthy.opened, 1);
  ASSERT_EQ(healthy.result, 1);
  if (IsScan(job)) { ASSERT_EQ(test::TreeFault(healthy.state), ""); }
  if (job == Job::Image) { ASSERT_EQ(healthy.image, ExpectedImage({})); }
  if (IsSave(job)) { ASSERT_GE(healthy.saved.size(), 4u); }
  ASSERT_FALSE(healthy.escaped);
  const uint64_t sectorsPerRecord = healthy.state.volumeInfo.sectorsPerRecord;
  const uint64_t reads = healthy.faults->ReadCount();
  uint64_t runsThatLost = 0;

  switch (fault) {
    case Fault::FailedSector: {
      // Scans: every sector the walk or the table scan reads and a sample of the rest; imaging
      // and saves, which meet the fault after a healthy scan, a sample.
      std::set<uint64_t> sample;
      if (IsScan(job)) sample.insert(volume.sectorsReadByScan.begin(), volume.sectorsReadByScan.end());
      for (uint64_t s = 0; s < sectors; s += !IsScan(job) ? 23 : volume.ntfs && s < 192 ? 1 : 7) sample.insert(s);
      for (uint64_t bad : sample) {
        const JobRun run(volume.bytes, job, [bad](FaultInjectingReader& f) { f.FailSector(bad); });
        const std::string where = "sector " + std::to_string(bad);
        if (bad == 0 && IsScan(job) && job != Job::DiskSearch) {
          EXPECT_EQ(run.opened, 0) << where << ": a volume without its boot sector cannot be told";
          continue;
        }
        ASSERT_EQ(run.opened, 1) << where;
        ASSERT_EQ(run.result, 1) << where;
        runsThatLost += CheckAgainst(run, healthy, where);
        if (IsScan(job)) {
          for (const FoundEntry& lost : Missing(healthy.found, run.found)) {
            EXPECT_TRUE(MayLose(lost, bad, sectorsPerRecord)) << where << ": lost " << std::get<0>(lost);
          }
        }
        if (job == Job::Image) { EXPECT_EQ(run.image, ExpectedImage({bad / 63})) << where; }
        if (job == Job::SaveFiles && volume.ntfs) {
          size_t differing = 0;
          for (const auto& [path, content] : run.saved) differing += healthy.saved.count(path) && content != healthy.saved.at(path);
          EXPECT_LE(differing, 1u) << where << " lies in one file's data at most";
        }
        if (HasFailure()) return;
      }
      EXPECT_GT(runsThatLost, 0u) << "no failed sector cost anything: the sweep proves nothing";
      break;
    }
    case Fault::ShortReads:
      for (size_t limit : {size_t{1}, size_t{511}, size_t{512}, size_t{700}, size_t{4096}, size_t{1} << 20}) {
        const JobRun run(volume.bytes, job, [limit](FaultInjectingReader& f) { f.LimitReadsTo(limit); });
        const std::string where = "reads of at most " + std::to_string(limit);
        if (run.opened != 1) {
          EXPECT_LT(limit, std::max<uint64_t>(512, sectorsPerRecord * 512)) << where << ": set-up reads whole records";
          continue;
        }
        EXPECT_EQ(run.result, 1) << where;
        CheckAgainst(run, healthy, where);
        if (limit >= volume.bytes.size() && IsScan(job)) { EXPECT_EQ(run.found, healthy.found) << where; }
      }
      break;
    case Fault::DiesAfterReads:
      for (uint64_t k = 0; k <= reads + 1; k += IsScan(job) ? 1 : 3) {
        const JobRun run(volume.bytes, job, [k](FaultInjectingReader& f) { f.FailAfterReads(k); });
        const std::string where = "dead after " + std::to_string(k) + " reads";
        if (run.opened != 1) {
          EXPECT_LT(k, 4u) << where << ": only the set-up reads decide whether the volume opens";
          continue;
        }
        EXPECT_EQ(run.result, 1) << where;
        CheckAgainst(run, healthy, where);
        if (k >= reads && IsScan(job)) { EXPECT_EQ(run.found, healthy.found) << where; }
      }
      break;
    case Fault::StopAtCheck: {
      size_t previous = 0;
      for (uint64_t k = 1;; ++k) {
        const JobRun run(volume.bytes, job, {}, k);
        const std::string where = "stop at check " + std::to_string(k);
        if (!run.sink.stopped) {  // a stop asked for after the last check comes too late to matter
          EXPECT_EQ(run.result, 1) << where;
          EXPECT_EQ(run.found, healthy.found);
          EXPECT_EQ(run.image, healthy.image);
          EXPECT_EQ(run.saved, healthy.saved);
          EXPECT_GT(k, 3u) << "a job asks seldom";
          break;
        }
        EXPECT_EQ(run.result, 0) << where;
        if (IsScan(job)) {  // a save finishes the file it is copying
          EXPECT_EQ(run.sink.checkpointsAfterStop, 0u) << where << ": went on asking";
          EXPECT_EQ(run.sink.stepsAfterStop, 0u) << where << ": went on reporting";
          EXPECT_EQ(run.readsAfterStop, 0u) << where << ": went on reading";
        }
        CheckAgainst(run, healthy, where, true);
        size_t kept = run.found.size();
        if (job == Job::Image) {
          kept = run.image.size();
          EXPECT_EQ(run.image.size(), run.imageBlocks * kImageBlockBytes) << where;
          EXPECT_TRUE(std::equal(run.image.begin(), run.image.end(), healthy.image.begin())) << where << ": no prefix";
        }
        if (IsSave(job)) {
          kept = run.saved.size();
          for (const auto& [path, content] : run.saved) {
            EXPECT_TRUE(healthy.saved.count(path) && content == healthy.saved.at(path)) << where << ": " << path << " is not whole";
          }
        }
        EXPECT_GE(kept, previous) << where << ": a later stop keeps less";
        previous = kept;
        if (HasFailure()) return;
        ASSERT_LT(k, 100000u) << "the job never ends";
      }
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    VolumeJobFault, FaultMatrix,
    ::testing::Combine(::testing::Values(0, 1, 2),
                       ::testing::Values(Job::FastScan, Job::LostFileSearch, Job::DiskSearch, Job::Image, Job::SaveFiles,
                                         Job::SaveFound),
                       ::testing::Values(Fault::FailedSector, Fault::ShortReads, Fault::DiesAfterReads, Fault::StopAtCheck)),
    [](const auto& info) {
      return Volumes()[std::get<0>(info.param)].name + "_" + kJobNames[static_cast<int>(std::get<1>(info.param))] + "_" +
             kFaultNames[static_cast<int>(std::get<2>(info.param))];
    });

}  // namespace
}  // namespace restora::test
