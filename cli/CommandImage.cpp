// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli image: copies a volume (a block device or an image file) into an image file.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "CliSupport.h"
#include "ImageFile.h"
#include "ScanDriver.h"
#include "SourceOpener.h"

namespace restora::cli {

namespace {

// The whole disk a partition's device number belongs to, from sysfs; the number itself when it
// is not a partition.
dev_t ContainingDisk(dev_t device) {
  const std::string base = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::error_code ec;
  if (!std::filesystem::exists(base + "/partition", ec)) return device;
  std::ifstream parent(base + "/../dev");
  unsigned int parentMajor = 0;
  unsigned int parentMinor = 0;
  char colon = 0;
  if (parent >> parentMajor >> colon >> parentMinor && colon == ':') return makedev(parentMajor, parentMinor);
  return device;
}

// Why writing the image to out would change the source, or empty when it would not: out is the
// source itself, or the source is a block device that holds the file system out would be
// written to (directly, or as the disk of that partition).
std::string WhyOutputTouchesSource(const std::string& source, const std::string& out) {
  struct stat sourceInfo {};
  if (::stat(source.c_str(), &sourceInfo) != 0) return {};
  struct stat outInfo {};
  if (::stat(out.c_str(), &outInfo) == 0 && outInfo.st_dev == sourceInfo.st_dev && outInfo.st_ino == sourceInfo.st_ino) {
    return "the image file " + out + " is the source itself";
  }
  if (!S_ISBLK(sourceInfo.st_mode)) return {};
  std::filesystem::path folder = std::filesystem::absolute(out).parent_path();
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) return {};
  if (folderInfo.st_dev == sourceInfo.st_rdev || ContainingDisk(folderInfo.st_dev) == sourceInfo.st_rdev) {
    return "the image file " + out + " would be written onto the source " + source;
  }
  return {};
}

}  // namespace

int RunImage(const Args& args) {
  ArgScanner scanner(args);
  const std::vector<std::string> positionals = scanner.Positionals();
  if (!scanner.UnknownOption().empty()) return Fail("image: unknown option " + scanner.UnknownOption());
  if (positionals.size() != 2) return Fail("usage: restora-cli image SOURCE OUT.qxi");
  const std::string& source = positionals[0];
  const std::string& out = positionals[1];
  if (const std::string why = WhyOutputTouchesSource(source, out); !why.empty()) return Fail("refused: " + why);

  EngineState state;
  TerminalProgress sink("imaging");
  state.progress = &sink;
  std::string error;
  if (!OpenSourcePath(state, source, false, &error)) {
    CleanUp(state);
    return Fail(error);
  }
  state.keepRunning = 1;
  StopOnInterrupt(state);
  ImageStats stats;
  const int result = WriteImageFile(state, out, &stats);
  state.keepRunning = 0;
  sink.Finish();
  const unsigned long long bytes = stats.blocksWritten * kImageBlockBytes;
  int exitCode = kExitOk;
  if (!stats.created) {
    exitCode = Fail("cannot create the image file " + out);
  } else if (stats.writeFailed) {
    exitCode = Fail("writing the image file " + out + " failed; it is incomplete");
  } else if (stats.stopped) {
    Fail("interrupted; the image file " + out + " holds only its first " + std::to_string(bytes) + " bytes");
    exitCode = Interrupted() ? kExitInterrupted : kExitFailure;
  } else if (result == 1) {
    std::printf("%s: %llu bytes, %llu sectors of the volume\n", out.c_str(), bytes,
                static_cast<unsigned long long>(state.volumeInfo.totalSectors));
    if (stats.unreadableBlocks > 0) {
      std::fprintf(stderr, "restora-cli: %llu blocks of 63 sectors could not be read and hold zeros\n",
                   static_cast<unsigned long long>(stats.unreadableBlocks));
      exitCode = kExitPartial;
    }
  } else {
    exitCode = Fail("the image file " + out + " could not be written");
  }
  CleanUp(state);
  return exitCode;
}

}  // namespace restora::cli
