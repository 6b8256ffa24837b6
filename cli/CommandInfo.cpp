// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli info: the recognised kind of a source and every field of its volume description,
// or the partitions of a whole disk (or an image of one) and what each holds.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "DiskPartitions.h"
#include "SourceGuard.h"
#include "ScanDriver.h"
#include "SourceOpener.h"
#include "TextCodec.h"

namespace restora::cli {

namespace {

// The fields of the layout the kind selects, in stored order.
std::vector<std::pair<const char*, unsigned long long>> Fields(const VolumeInfo& v) {
  std::vector<std::pair<const char*, unsigned long long>> fields{{"startSector", v.startSector},
                                                                  {"totalSectors", v.totalSectors}};
  if (v.kind == SourceKind::Disk) {
    fields.emplace_back("nodeCounter", v.nodeCounter);
  } else if (v.kind == SourceKind::Ntfs) {
    fields.insert(fields.end(), {{"mftCluster", v.mftCluster},
                                 {"mftMirrorCluster", v.mftMirrorCluster},
                                 {"serialNumber", v.serialNumber},
                                 {"nodeCounter", v.nodeCounter},
                                 {"sectorsPerRecord", v.sectorsPerRecord},
                                 {"sectorsPerIndexBuffer", v.sectorsPerIndexBuffer},
                                 {"sectorsPerCluster", v.ntfsSectorsPerCluster}});
  } else {
    fields.insert(fields.end(), {{"fatEntryCount", v.fatEntryCount},
                                 {"fat1Sector", v.fat1Sector},
                                 {"fat2Sector", v.fat2Sector},
                                 {"clusterBaseSector", v.clusterBaseSector},
                                 {"fatNodeCounter", v.fatNodeCounter},
                                 {"sectorsPerFat", v.sectorsPerFat},
                                 {"fatKind", v.fatKind},
                                 {"sectorsPerCluster", v.fatSectorsPerCluster}});
  }
  return fields;
}

// Lists the partition table of a source that is no volume; returns -1 when it holds none.
int PrintPartitions(const std::string& source, bool json) {
  std::vector<PartitionReport> reports;
  std::string scheme;
  std::string error;
  if (!ExamineDiskPartitions(source, &reports, &scheme, &error) || scheme.empty()) return -1;
  if (json) {
    std::printf("{\"source\":%s,\"partitionTable\":%s,\"partitions\":[", JsonString(source).c_str(),
                JsonString(scheme).c_str());
  } else {
    std::printf("source: %s\npartition table: %s\npartitions: %zu\n", source.c_str(), scheme.c_str(), reports.size());
  }
  for (size_t i = 0; i < reports.size(); ++i) {
    const PartitionReport& r = reports[i];
    const std::string found = r.usable ? SourceKindText(r.kind) : r.note;
    if (json) {
      std::printf("%s{\"number\":%u,\"start\":%llu,\"sectors\":%llu,\"type\":%s,\"name\":%s,\"fileSystem\":%s,"
                  "\"scanned\":%s}",
                  i == 0 ? "" : ",", r.entry.number, static_cast<unsigned long long>(r.entry.startSector),
                  static_cast<unsigned long long>(r.entry.sectorCount), JsonString(r.entry.type).c_str(),
                  JsonString(r.entry.name).c_str(), JsonString(found).c_str(), r.usable ? "true" : "false");
    } else {
      std::printf("partition %u: start %llu, %llu sectors, type %s%s, %s\n", r.entry.number,
                  static_cast<unsigned long long>(r.entry.startSector),
                  static_cast<unsigned long long>(r.entry.sectorCount), r.entry.type.c_str(),
                  r.entry.name.empty() ? "" : (" \"" + r.entry.name + "\"").c_str(), found.c_str());
    }
  }
  if (json) std::printf("]}\n");
  return kExitOk;
}

}  // namespace

int RunInfo(const Args& args) {
  ArgScanner scanner(args);
  const bool asDisk = scanner.Flag("--disk");
  const bool json = scanner.Flag("--json");
  const std::vector<std::string> positionals = scanner.Positionals();
  if (!scanner.UnknownOption().empty()) return Fail("info: unknown option " + scanner.UnknownOption());
  if (positionals.size() != 1) return Fail("usage: restora-cli info SOURCE [--disk] [--json]");

  EngineState state;
  TerminalProgress sink("info");
  state.progress = &sink;
  std::string error;
  if (!OpenSourcePath(state, positionals[0], asDisk, &error)) {
    CleanUp(state);
    if (const int listed = asDisk ? -1 : PrintPartitions(positionals[0], json); listed >= 0) return listed;
    return Fail(error);
  }
  const VolumeInfo& v = state.volumeInfo;
  if (json) {
    std::printf("{\"source\":%s,\"kind\":\"%s\",\"volumePath\":%s", JsonString(positionals[0]).c_str(), SourceKindName(v.kind),
                JsonString(Utf16ToUtf8(state.volumePath)).c_str());
    for (const auto& [name, value] : Fields(v)) std::printf(",\"%s\":%llu", name, value);
    if (v.kind == SourceKind::Ntfs) std::printf(",\"mftExtents\":%zu", state.mftRuns.size());
    std::printf("}\n");
  } else {
    std::printf("source: %s\nkind: %s\n", positionals[0].c_str(), SourceKindName(v.kind));
    if (!state.volumePath.empty()) std::printf("volumePath: %s\n", Utf16ToUtf8(state.volumePath).c_str());
    for (const auto& [name, value] : Fields(v)) std::printf("%s: %llu\n", name, value);
    if (v.kind == SourceKind::Ntfs) std::printf("mftExtents: %zu\n", state.mftRuns.size());
  }
  CleanUp(state);
  return kExitOk;
}

}  // namespace restora::cli
