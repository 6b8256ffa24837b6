// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli: the recovery engine for scripts and servers.
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"

namespace {

constexpr const char* kUsage =
    "usage: restora-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  info SOURCE [--disk] [--json]              describe a volume, image file or disk, or list\n"
    "                                             the partitions of a disk or disk image\n"
    "  scan SOURCE [--json|--list] [--lost|--advanced --disk] [--types LIST|--all-types]\n"
    "       [--max-size-kb N] [--fixed-size] [--save-scan FILE.qxs] [--partition N] [--deep]\n"
    "                                             list what was deleted\n"
    "  recover SOURCE --to DIR [scan options] [--only GLOB ...] [--no-times]\n"
    "  recover --scan FILE.qxs --source SOURCE --to DIR [--only GLOB ...] [--no-times]\n"
    "                                             save found files below DIR/#\n"
    "  show FILE.qxs [--json|--list]              print a saved scan\n"
    "  image SOURCE OUT.qxi                       copy a volume into an image file\n"
    "  signatures [--json]                        list the known file types\n"
    "  drives [--json] [--disk DEVICE ...]        list disks, partitions and volumes\n"
    "  --version                                  print the version\n"
    "\n"
    "A disk or disk image with a partition table is scanned partition by partition, each below a\n"
    "folder of its own, or only partition N with --partition N.\n"
    "Sources are opened read-only. Exit codes: 0 done, 1 failure, 2 some entries failed,\n"
    "130 interrupted.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  const std::string verb = argv[1];
  if (verb == "--version") {
    std::printf("restora-cli %s\n", RESTORA_VERSION);
    return 0;
  }
  restora::cli::Args args(argv + 2, argv + argc);
  if (verb == "info") return restora::cli::RunInfo(args);
  if (verb == "scan") return restora::cli::RunScan(args);
  if (verb == "recover") return restora::cli::RunRecover(args);
  if (verb == "show") return restora::cli::RunShow(args);
  if (verb == "image") return restora::cli::RunImage(args);
  if (verb == "signatures") return restora::cli::RunSignatures(args);
  if (verb == "drives") return restora::cli::RunDrives(args);
  std::fprintf(stderr, "restora-cli: unknown command '%s'\n%s", verb.c_str(), kUsage);
  return 1;
}
