// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli image: copies a volume (a block device or an image file) into an image file.
#include <cstdio>
#include <string>

#include "CliSupport.h"
#include "ImageFile.h"
#include "JobRunner.h"
#include "ScanDriver.h"
#include "SourceGuard.h"

namespace restora::cli {

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
  if (!OpenJobSource(state, source, false, &error)) return Fail(error);
  state.keepRunning = 1;
  StopOnInterrupt(state);
  JobRequest request;
  request.kind = JobKind::ImagingJob;
  request.imageFilePath = out;
  JobReport report;
  const int result = RunJob(state, request, &report);
  const ImageStats& stats = report.image;
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
