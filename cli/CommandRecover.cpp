// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli recover: scans a source (or reads a saved scan), checks every entry or those
// whose path matches a pattern, and saves them below DIR/#.
#include <fnmatch.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "JobRunner.h"
#include "PosixDestination.h"
#include "RecoveryWriter.h"
#include "ScanDriver.h"
#include "ScanFile.h"
#include "ScanJob.h"
#include "ScanTree.h"
#include "SourceGuard.h"
#include "TextCodec.h"

namespace restora::cli {

namespace {

constexpr const char* kUsage =
    "usage: restora-cli recover SOURCE --to DIR [scan options] [--only GLOB ...]\n"
    "       restora-cli recover --scan FILE.qxs --source SOURCE --to DIR [--only GLOB ...]";

// Reads scanFile and opens source for its tree. Returns 1 when ready, 0 after printing why not.
int LoadSavedScan(EngineState& state, const std::string& scanFile, const std::string& source, TerminalProgress& sink) {
  state.progress = &sink;
  std::string error;
  if (!OpenSavedScan(state, scanFile, source, &error)) {
    Fail(error);
    return 0;
  }
  return 1;
}

// Checks the entries to save: all of them, or those whose path from the root matches one of
// globs, with everything below a matching folder and the folders that lead to a match. Returns
// the number of entries the save will reach.
uint64_t CheckEntries(ScanNode* root, const std::vector<std::string>& globs) {
  if (root == nullptr) return 0;
  if (globs.empty()) {
    SetChecked(root->firstChild, 1);
    return CountCheckedBelow(*root);
  }
  SetChecked(root->firstChild, 0);
  // The open folders from the root down: each with its path and the next child to look at.
  struct Level {
    ScanNode* folder;
    ScanNode* next;
    std::string path;
  };
  std::vector<Level> levels{{root, root->firstChild, std::string()}};
  while (!levels.empty()) {
    ScanNode* node = levels.back().next;
    if (node == nullptr) {
      levels.pop_back();
      continue;
    }
    levels.back().next = node->next;
    const std::string path = levels.back().path + Utf16ToUtf8(node->name);
    bool matches = false;
    for (const std::string& glob : globs) matches = matches || ::fnmatch(glob.c_str(), path.c_str(), 0) == 0;
    if (matches) {
      node->checked = 1;
      SetChecked(node->firstChild, 1);
      for (size_t i = 1; i < levels.size(); ++i) levels[i].folder->checked = 1;
      continue;  // everything below is checked already
    }
    if (node->firstChild != nullptr) levels.push_back(Level{node, node->firstChild, path + "/"});
  }
  return CountCheckedBelow(*root);
}

// Prints one line per checked entry as the save reaches it.
class PrintingListener final : public SaveListener {
 public:
  explicit PrintingListener(TerminalProgress& sink) : sink_(sink) {}
  void EntrySaved(const SavedEntry& entry) override {
    sink_.Finish();
    const char* path = entry.path.c_str();
    switch (entry.outcome) {
      case SaveOutcome::Written: std::printf("written %s\n", path); break;
      case SaveOutcome::Incomplete: std::printf("incomplete %s (a read or write failed)\n", path); break;
      case SaveOutcome::NotCreated: std::printf("failed %s: %s\n", path, entry.reason.c_str()); break;
      case SaveOutcome::NotEntered: std::printf("failed %s: cannot enter: %s\n", path, entry.reason.c_str()); break;
    }
    if (entry.leftOut > 0) {
      std::printf("failed %s/…: %llu entries below it not saved\n", path,
                  static_cast<unsigned long long>(entry.leftOut));
    }
    std::fflush(stdout);
  }

 private:
  TerminalProgress& sink_;
};

}  // namespace

int RunRecover(const Args& args) {
  ArgScanner scanner(args);
  const std::optional<std::string> to = scanner.Value("--to");
  const std::vector<std::string> globs = scanner.Values("--only");
  const std::optional<std::string> scanFile = scanner.Value("--scan");
  const std::optional<std::string> sourceOption = scanner.Value("--source");
  const std::vector<std::string> positionals = scanner.Positionals();
  std::string source;
  if (scanFile) {
    if (!sourceOption || !positionals.empty()) return Fail(kUsage);
    source = *sourceOption;
  } else {
    if (sourceOption || positionals.size() != 1) return Fail(kUsage);
    source = positionals[0];
  }
  if (!to) return Fail(std::string("--to DIR is required\n") + kUsage);

  // The destination is checked before anything is read or written.
  std::string error;
  std::unique_ptr<PosixDestination> destination = PosixDestination::Open(*to, &error);
  if (!destination) return Fail(error);
  if (const std::string why = WhyDestinationTouchesSource(source, *to); !why.empty()) return Fail(why);
  ProtectIfFile(*destination, source);
  if (scanFile) ProtectIfFile(*destination, *scanFile);

  EngineState state;
  TerminalProgress sink("scanning");
  if (scanFile) {
    if (!scanner.UnknownOption().empty()) return Fail("unknown option " + scanner.UnknownOption());
    if (!LoadSavedScan(state, *scanFile, source, sink)) return kExitFailure;
  } else {
    const ScanJobResult job = RunScanJob(state, scanner, source, sink);
    if (job.exitCode != kExitOk) return job.exitCode;
    if (!job.completed) {
      CleanUp(state);
      return Interrupted() ? kExitInterrupted : Fail("the scan of " + source + " did not complete");
    }
  }

  const uint64_t checked = CheckEntries(state.scanRoot, globs);
  if (checked == 0) std::fprintf(stderr, "restora-cli: no entry to save%s\n", globs.empty() ? "" : " matches");

  sink.SetLabel("saving");
  PrintingListener listener(sink);
  JobRequest request;
  request.kind = JobKind::SaveJob;
  request.destination = destination.get();
  request.listener = &listener;
  JobReport report;
  state.keepRunning = 1;
  StopOnInterrupt(state);
  (void)RunJob(state, request, &report);
  const SaveSummary& summary = report.save;
  state.keepRunning = 0;
  sink.Finish();
  CleanUp(state);

  std::printf("%llu of %llu entries written below %s/%s, %llu incomplete, %llu failed\n",
              static_cast<unsigned long long>(summary.written), static_cast<unsigned long long>(checked), to->c_str(),
              kSaveFolderName, static_cast<unsigned long long>(summary.incomplete),
              static_cast<unsigned long long>(summary.failed));
  std::fflush(stdout);
  if (!summary.destinationError.empty()) {
    Fail(summary.destinationError);
    return summary.written == 0 ? kExitFailure : kExitPartial;
  }
  if (summary.stopped) return kExitInterrupted;
  return summary.Failures() > 0 ? kExitPartial : kExitOk;
}

}  // namespace restora::cli
