// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the NTFS table scan reads a large table: builds a sparse image file holding a table
// of N records (default 1,000,000: folders, live files and a share of deleted files and folders),
// scans it and prints records per second. --reference reads one record per read and also runs
// the whole-tree search for every folder lookup, as a plain reading of the scan would (use a
// smaller N for it).
//
// Usage: ntfs_table_bench [--records N] [--deleted-percent P] [--reference] [--keep IMAGE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "NtfsImageBuilder.h"
#include "NtfsScan.h"
#include "PosixSourceReader.h"
#include "ScanTree.h"
#include "TextCodec.h"
#include "VolumeAccess.h"

using namespace restora;

namespace {

struct Options {
  uint64_t records = 1000000;
  uint64_t deletedPercent = 10;
  bool reference = false;
  std::string keep;
};

// One folder every 200 records from record 16; folders nest in runs of five under the root.
uint64_t FolderOf(uint64_t record) { return (record - 16) / 200 * 200 + 16; }

uint64_t ParentOfFolder(uint64_t folder) {
  const uint64_t k = (folder - 16) / 200;
  return k % 5 == 0 ? 5 : folder - 200;
}

bool WriteTable(const test::NtfsImageBuilder& builder, const std::string& path, const Options& options) {
  if (!builder.WriteImageFile(path)) return false;
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  const size_t recordBytes = builder.Geometry().RecordBytes();
  const std::vector<uint8_t> data(300, 0x5A);
  std::vector<uint8_t> batch;
  uint64_t batchStart = 16;
  for (uint64_t n = 16; n < options.records; ++n) {
    test::NtfsFileRecord file;
    const bool folder = (n - 16) % 200 == 0;
    const std::u16string name = Utf8ToUtf16((folder ? "folder " : "file ") + std::to_string(n));
    const uint64_t parent = folder ? ParentOfFolder(n) : FolderOf(n);
    if (folder) {
      // Every seventh folder is deleted, so some paths are rebuilt from deleted folder records.
      file.Flags(n % 7 == 0 ? test::kRecordFolder : test::kRecordFolder | test::kRecordInUse);
      file.StandardInformation(n, n, 0x10).FileName(name, parent);
    } else {
      const bool deleted = (n * 2654435761u) % 100 < options.deletedPercent;
      file.Flags(deleted ? 0 : test::kRecordInUse).StandardInformation(n, n, 0x20).FileName(name, parent);
      file.ResidentData(data);
    }
    const std::vector<uint8_t> bytes = file.Encode(recordBytes, static_cast<uint32_t>(n));
    batch.insert(batch.end(), bytes.begin(), bytes.end());
    if (batch.size() >= (size_t{8} << 20) || n + 1 == options.records) {
      out.seekp(static_cast<std::streamoff>(*builder.RecordOffset(batchStart)));
      out.write(reinterpret_cast<const char*>(batch.data()), static_cast<std::streamsize>(batch.size()));
      batch.clear();
      batchStart = n + 1;
    }
  }
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--records" && i + 1 < argc) options.records = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--deleted-percent" && i + 1 < argc) options.deletedPercent = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--reference") options.reference = true;
    else if (arg == "--keep" && i + 1 < argc) options.keep = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--records N] [--deleted-percent P] [--reference] [--keep IMAGE]\n", argv[0]);
      return 2;
    }
  }
  if (options.records < 64) options.records = 64;

  test::NtfsGeometry geometry;
  geometry.mftRecords = options.records;
  const uint64_t tableSectors = options.records * 2;
  geometry.totalSectors = tableSectors + 2 * 16 * 8 + 2048;
  test::NtfsImageBuilder builder(geometry);

  const std::string path = !options.keep.empty()
                               ? options.keep
                               : (std::filesystem::temp_directory_path() /
                                  ("ntfs_table_bench." + std::to_string(::getpid()) + ".img")).string();
  const auto buildStart = std::chrono::steady_clock::now();
  if (!WriteTable(builder, path, options)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  const double buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - buildStart).count();

  EngineState state;
  std::string error;
  auto reader = PosixSourceReader::Open(path, &error);
  if (!reader || !OpenSource(state, OpenMode::Image, std::move(reader))) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), error.c_str());
    if (options.keep.empty()) std::filesystem::remove(path);
    return 1;
  }
  state.scanRoot = NewNode(state);
  state.keepRunning = 1;
  NtfsScanStats stats;
  NtfsScanTuning tuning;
  tuning.stats = &stats;
  if (options.reference) {
    tuning.chunkBytes = 0;  // one record per read
    tuning.crossCheckSearch = true;
  }
  const auto scanStart = std::chrono::steady_clock::now();
  const int result = ScanMft(state, tuning);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - scanStart).count();

  std::printf("table: %llu records of %zu bytes (image built in %.1f s)\n",
              static_cast<unsigned long long>(options.records), geometry.RecordBytes(), buildSeconds);
  std::printf("mode: %s\n", options.reference ? "one record per read + whole-tree search per lookup"
                                              : "1 MiB reads + record-number index");
  std::printf("result %d: %llu records read, %llu deleted files listed, %llu nodes, %llu folder lookups%s\n", result,
              static_cast<unsigned long long>(stats.recordsRead), static_cast<unsigned long long>(stats.deletedFiles),
              static_cast<unsigned long long>(CountNodes(state.scanRoot)),
              static_cast<unsigned long long>(stats.folderLookups),
              options.reference ? (", " + std::to_string(stats.searchDisagreements) + " index disagreements").c_str() : "");
  std::printf("scan: %.3f s, %.0f records/s\n", seconds, static_cast<double>(stats.recordsRead) / seconds);
  if (options.keep.empty()) std::filesystem::remove(path);
  return result == 1 ? 0 : 1;
}
