// SPDX-License-Identifier: GPL-3.0-or-later
// Walking the checked part of the scan tree into the destination.
#include "RecoveryWriter.h"

#include <vector>

#include "EntryTimes.h"
#include "FatData.h"
#include "RawData.h"
#include "NtfsData.h"
#include "SafeFileName.h"

namespace restora {

namespace {

// Tries per entry before its name is given up; each try appends a suffix, so names stay apart.
constexpr unsigned kMaxNameAttempts = 1000;

// One folder whose first pass is done: the subfolders it created wait for their second pass.
struct FolderFrame {
  std::vector<ScanNode*> subfolders;  // created in the first pass, in list order
  size_t nextSubfolder = 0;
  bool stopped = false;
  std::string path;
  // Set on the top folder of a partition: the state reads that partition while the frame lives.
  std::unique_ptr<PartitionScope> partition;
};

bool IsPartitionFolder(EngineState& state, const ScanNode& node) {
  return !state.partitions.empty() && FindPartitionOfFolder(state.partitions, &node) != nullptr;
}

// A scope that makes the state read node's partition when node is a partition's top folder.
std::unique_ptr<PartitionScope> EnterPartitionOf(EngineState& state, const ScanNode* node) {
  if (state.partitions.empty()) return nullptr;
  PartitionVolume* partition = FindPartitionOfFolder(state.partitions, node);
  return partition != nullptr ? std::make_unique<PartitionScope>(state, *partition) : nullptr;
}

void Report(SaveContext& context, SavedEntry&& entry) {
  switch (entry.outcome) {
    case SaveOutcome::Written: ++context.summary.written; break;
    case SaveOutcome::Incomplete: ++context.summary.incomplete; break;
    case SaveOutcome::NotCreated: context.summary.failed += 1 + entry.leftOut; break;
    case SaveOutcome::NotEntered: context.summary.failed += entry.leftOut; break;
  }
  if (context.listener != nullptr) context.listener->EntrySaved(entry);
}

void StepProgress(SaveContext& context, uint64_t entries) {
  context.visited += entries;
  context.state.ReportProgress(context.visited, context.progressTotal);
}

// Creates one checked child and, for a file, copies its data.
void SaveEntry(SaveContext& context, ScanNode& node, uint32_t& counter, FolderFrame& frame) {
  CreatedEntry created = CreateEntry(context, node, counter);
  SavedEntry entry;
  entry.node = &node;
  entry.path = frame.path + "/" + SafeFileName(node.name);
  if (created.status != CreateStatus::Done) {
    entry.outcome = SaveOutcome::NotCreated;
    entry.reason = std::move(created.reason);
    if (node.firstChild != nullptr) entry.leftOut = CountCheckedBelow(node);
    StepProgress(context, 1 + entry.leftOut);
    Report(context, std::move(entry));
    return;
  }
  ++context.state.fileCount;
  StepProgress(context, 1);
  if (node.firstChild != nullptr) {
    frame.subfolders.push_back(&node);
    Report(context, std::move(entry));
    return;
  }
  if (!created.file) {  // a folder with nothing below it
    Report(context, std::move(entry));
    return;
  }
  // A file whose copy has begun is always copied to its end.
  int copied = created.file ? CopyEntryData(context.state, node, *created.file) : 0;
  if (created.file) created.file->SetTimes(EntryTimesOf(context.state, node));
  if (created.file && !created.file->Close()) copied = 0;
  entry.outcome = copied ? SaveOutcome::Written : SaveOutcome::Incomplete;
  Report(context, std::move(entry));
}

// The first pass over folder's children: every checked child is created, and files are written.
FolderFrame FirstPass(SaveContext& context, ScanNode* folder, const std::string& path) {
  FolderFrame frame;
  frame.path = path;
  uint32_t counter = 0;  // the folder's renaming counter, shared by all its entries
  for (ScanNode* child = folder->firstChild; child != nullptr; child = child->next) {
    if (!context.state.KeepRunning()) {
      frame.stopped = true;
      context.summary.stopped = true;
      break;
    }
    if (child->checked == 0) continue;
    SaveEntry(context, *child, counter, frame);
  }
  return frame;
}

}  // namespace

uint64_t CountCheckedBelow(const ScanNode& folder) {
  uint64_t count = 0;
  std::vector<const ScanNode*> pending{&folder};
  while (!pending.empty()) {
    const ScanNode* current = pending.back();
    pending.pop_back();
    for (const ScanNode* child = current->firstChild; child != nullptr; child = child->next) {
      if (child->checked == 0) continue;
      ++count;
      if (child->firstChild != nullptr) pending.push_back(child);
    }
  }
  return count;
}

int MakeUniqueName(ScanNode& node, uint32_t value, CreateStatus lastFailure) {
  if (lastFailure != CreateStatus::Exists) return 0;
  node.name += u"_#_";
  for (char c : std::to_string(value)) node.name.push_back(static_cast<char16_t>(c));
  return 1;
}

CreatedEntry CreateEntry(SaveContext& context, ScanNode& node, uint32_t& counter) {
  CreatedEntry result;
  for (unsigned attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    const std::string name = SafeFileName(node.name);
    // A folder with nothing below it (an empty deleted folder, a search that found nothing) is
    // still made as a folder, never as an empty file of its name.
    const bool folder = node.firstChild != nullptr || node.IsFolderStatus() || IsPartitionFolder(context.state, node);
    const CreateStatus status =
        folder ? context.destination.CreateFolder(name) : context.destination.CreateFile(name, &result.file);
    if (status == CreateStatus::Done) {
      result.status = CreateStatus::Done;
      return result;
    }
    if (status == CreateStatus::Failed) {
      result.reason = context.destination.LastError();
      return result;
    }
    ++counter;
    MakeUniqueName(node, counter, status);
  }
  result.reason = "no free name found";
  return result;
}

int CopyEntryData(EngineState& state, const ScanNode& node, OutputFile& file) {
  if (node.carveSource != kCarveNone) return CopyRawData(state, node, file);
  if (state.NtfsLayout()) return CopyNtfsData(state, node, file);
  return CopyFatData(state, node, file);
}

int SaveFolder(SaveContext& context, ScanNode* folder, const std::string& path) {
  Destination& destination = context.destination;
  std::vector<FolderFrame> frames;
  frames.push_back(FirstPass(context, folder, path));
  // Leaves every folder this call entered; frames[0] is the folder it started in.
  auto unwind = [&]() {
    while (frames.size() > 1) {
      frames.pop_back();
      if (!destination.LeaveFolder()) {
        context.summary.destinationError = "cannot return to a saved folder: " + destination.LastError();
        return;
      }
    }
  };
  for (;;) {
    FolderFrame& top = frames.back();
    if (top.nextSubfolder < top.subfolders.size()) {
      // Second pass: only folders this save created are entered, so nothing lands in a folder
      // of an earlier save or in one the destination refused.
      ScanNode* subfolder = top.subfolders[top.nextSubfolder++];
      const std::string name = SafeFileName(subfolder->name);
      std::string subPath = top.path + "/" + name;
      if (!destination.EnterFolder(name)) {
        SavedEntry entry;
        entry.node = subfolder;
        entry.path = std::move(subPath);
        entry.outcome = SaveOutcome::NotEntered;
        entry.leftOut = CountCheckedBelow(*subfolder);
        entry.reason = destination.LastError();
        StepProgress(context, entry.leftOut);
        Report(context, std::move(entry));
        if (!context.state.KeepRunning()) {
          context.summary.stopped = true;
          unwind();
          return 0;
        }
        continue;
      }
      std::unique_ptr<PartitionScope> partition = EnterPartitionOf(context.state, subfolder);
      frames.push_back(FirstPass(context, subfolder, subPath));
      frames.back().partition = std::move(partition);
      continue;
    }
    const bool stopped = top.stopped;
    frames.pop_back();
    if (frames.empty()) return stopped ? 0 : 1;
    if (!destination.LeaveFolder()) {
      // Where the destination stands is no longer known: nothing more may be created.
      context.summary.destinationError = "cannot return to a saved folder: " + destination.LastError();
      return 0;
    }
    if (!context.state.KeepRunning()) {
      context.summary.stopped = true;
      unwind();
      return 0;
    }
  }
}

int SaveCheckedEntries(EngineState& state, Destination& destination, SaveSummary* summary, SaveListener* listener) {
  SaveContext context(state, destination, listener);
  state.fileCount = 0;
  int result = 0;
  const bool entered = destination.CreateFolder(kSaveFolderName) != CreateStatus::Failed &&
                       destination.EnterFolder(kSaveFolderName) == 1;
  if (!entered) {
    context.summary.destinationError =
        std::string("cannot create or enter the folder ") + kSaveFolderName + ": " + destination.LastError();
  } else if (state.scanRoot == nullptr) {
    result = 1;
  } else {
    context.progressTotal = CountCheckedBelow(*state.scanRoot);
    result = SaveFolder(context, state.scanRoot, kSaveFolderName);
  }
  if (entered && context.summary.destinationError.empty()) (void)destination.LeaveFolder();
  if (summary != nullptr) *summary = std::move(context.summary);
  return result;
}

}  // namespace restora
