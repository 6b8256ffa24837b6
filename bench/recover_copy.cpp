// SPDX-License-Identifier: GPL-3.0-or-later
// Times the recovery writer's copy of one found file that spans a whole image: the image is
// opened as a disk, one found file of its full size hangs below the root, and it is saved below
// DEST/#. usage: recover_copy IMAGE DEST
#include <chrono>
#include <cstdio>
#include <string>

#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanTree.h"
#include "SourceOpener.h"

int main(int argc, char** argv) {
  using namespace restora;
  if (argc != 3) {
    std::fputs("usage: recover_copy IMAGE DEST\n", stderr);
    return 1;
  }
  EngineState state;
  std::string error;
  if (!OpenSourcePath(state, argv[1], true, &error)) {
    std::fprintf(stderr, "recover_copy: %s\n", error.c_str());
    return 1;
  }
  auto destination = PosixDestination::Open(argv[2], &error);
  if (!destination) {
    std::fprintf(stderr, "recover_copy: %s\n", error.c_str());
    return 1;
  }
  ScanNode* root = NewNode(state);
  root->name = u".";
  state.scanRoot = root;
  ScanNode* found = NewNode(state);
  found->name = u"0.bin";
  found->carveSource = kCarveDisk;
  found->size = state.volumeInfo.totalSectors * kSectorSize;
  found->checked = 1;
  PushChildFront(root, found);
  state.keepRunning = 1;

  const auto start = std::chrono::steady_clock::now();
  SaveSummary summary;
  SaveCheckedEntries(state, *destination, &summary);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("copied %llu bytes in %.3f s (%.0f MiB/s)\n", static_cast<unsigned long long>(found->size), seconds,
              static_cast<double>(found->size) / (1024.0 * 1024.0) / seconds);
  CleanUp(state);
  return summary.Failures() == 0 && summary.written == 1 ? 0 : 1;
}
