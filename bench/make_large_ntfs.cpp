// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a large sparse NTFS image for the scale benchmark: a volume of the given size whose
// table holds N records (default 1,000,000 on 64 GiB) of folders nested up to eight deep and
// files, a share of them deleted (default a third of the files and every seventh folder). Every
// fourth file has non-resident data in clusters spread over the whole volume (left as holes),
// the rest resident data. Only the boot sector, the mirror and the table take space on disk.
//
// Usage: make_large_ntfs OUT.img [--records N] [--size-gib G] [--deleted-percent P]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "NtfsImageBuilder.h"
#include "TextCodec.h"

using namespace restora;

namespace {

struct Options {
  std::string path;
  uint64_t records = 1000000;
  uint64_t sizeGiB = 64;
  uint64_t deletedPercent = 33;
};

constexpr uint64_t kFirstUserRecord = 16;
constexpr uint64_t kRecordsPerFolder = 100;  // one folder, then 99 files in it
constexpr uint64_t kNestingDepth = 8;
constexpr uint64_t kRootFolder = 5;

bool IsFolder(uint64_t record) { return (record - kFirstUserRecord) % kRecordsPerFolder == 0; }
uint64_t FolderOf(uint64_t record) {
  return (record - kFirstUserRecord) / kRecordsPerFolder * kRecordsPerFolder + kFirstUserRecord;
}
// Folders nest in chains of eight below the root.
uint64_t ParentOfFolder(uint64_t folder) {
  const uint64_t k = (folder - kFirstUserRecord) / kRecordsPerFolder;
  return k % kNestingDepth == 0 ? kRootFolder : folder - kRecordsPerFolder;
}
uint64_t Mix(uint64_t n) { return (n * 2654435761u) % 100; }

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--records" && i + 1 < argc) options.records = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--size-gib" && i + 1 < argc) options.sizeGiB = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--deleted-percent" && i + 1 < argc) options.deletedPercent = std::strtoull(argv[++i], nullptr, 10);
    else if (options.path.empty() && !arg.starts_with("--")) options.path = arg;
    else {
      std::fprintf(stderr, "usage: %s OUT.img [--records N] [--size-gib G] [--deleted-percent P]\n", argv[0]);
      return 2;
    }
  }
  if (options.path.empty()) {
    std::fprintf(stderr, "usage: %s OUT.img [--records N] [--size-gib G] [--deleted-percent P]\n", argv[0]);
    return 2;
  }
  if (options.records < 64) options.records = 64;

  test::NtfsGeometry geometry;  // 4 KiB clusters, 1 KiB records, the table at cluster 16
  geometry.mftRecords = options.records;
  geometry.totalSectors = options.sizeGiB << 21;
  const uint64_t tableClusters = (options.records + 3) / 4;
  if (geometry.totalSectors / 8 < geometry.mftCluster + tableClusters + 1024) {
    std::fprintf(stderr, "the volume is too small for the table\n");
    return 2;
  }
  test::NtfsImageBuilder builder(geometry);
  if (!builder.WriteImageFile(options.path)) {
    std::fprintf(stderr, "cannot write %s\n", options.path.c_str());
    return 1;
  }

  std::fstream out(options.path, std::ios::binary | std::ios::in | std::ios::out);
  const size_t recordBytes = geometry.RecordBytes();
  const uint64_t dataStart = geometry.mftCluster + tableClusters + 16;
  const uint64_t dataClusters = geometry.totalSectors / 8 - dataStart;
  const std::vector<uint8_t> resident(200, 0x5A);
  std::vector<uint8_t> batch;
  uint64_t batchStart = kFirstUserRecord, deletedFiles = 0, deletedFolders = 0;
  for (uint64_t n = kFirstUserRecord; n < options.records; ++n) {
    test::NtfsFileRecord record;
    if (IsFolder(n)) {
      const bool deleted = n % 7 == 0;
      deletedFolders += deleted;
      record.Flags(deleted ? test::kRecordFolder : test::kRecordFolder | test::kRecordInUse)
          .StandardInformation(n, n, 0x10)
          .FileName(Utf8ToUtf16("folder " + std::to_string(n)), ParentOfFolder(n));
    } else {
      const bool deleted = Mix(n) < options.deletedPercent;
      deletedFiles += deleted;
      record.Flags(deleted ? 0 : test::kRecordInUse)
          .StandardInformation(n, n, 0x20)
          .FileName(Utf8ToUtf16("file " + std::to_string(n) + ".dat"), FolderOf(n));
      if (n % 4 == 0) {
        test::NonResidentAttribute data;
        const uint64_t clusters = 1 + n % 64;
        data.runs = {{clusters, dataStart + (n * 7919) % (dataClusters - 64), false}};
        data.realSize = clusters * 4096 - n % 4096;
        record.NonResident(data);
      } else {
        record.ResidentData(resident);
      }
    }
    const std::vector<uint8_t> bytes = record.Encode(recordBytes, static_cast<uint32_t>(n));
    batch.insert(batch.end(), bytes.begin(), bytes.end());
    if (batch.size() >= (size_t{8} << 20) || n + 1 == options.records) {
      out.seekp(static_cast<std::streamoff>(*builder.RecordOffset(batchStart)));
      out.write(reinterpret_cast<const char*>(batch.data()), static_cast<std::streamsize>(batch.size()));
      batch.clear();
      batchStart = n + 1;
    }
  }
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", options.path.c_str());
    return 1;
  }
  std::printf("%s: %llu GiB, %llu records, %llu deleted files, %llu deleted folders\n", options.path.c_str(),
              static_cast<unsigned long long>(options.sizeGiB), static_cast<unsigned long long>(options.records),
              static_cast<unsigned long long>(deletedFiles), static_cast<unsigned long long>(deletedFolders));
  return 0;
}
