// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli info: the recognised kind of a source and every field of its volume description.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
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
