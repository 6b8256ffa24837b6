// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery writer: recreates the checked part of the scan tree below the folder "#" of a
// destination and writes each checked file's data there, read from the open source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Destination.h"
#include "EngineState.h"

namespace restora {

// What became of one checked entry.
enum class SaveOutcome : uint8_t {
  Written,     // created; for a file, its data was copied without a read or write failure
  Incomplete,  // a file that was created but whose copy met a failure; it stays, possibly short
  NotCreated,  // the destination refused it for another reason than "exists"
  NotEntered,  // a folder that was created but could not be entered; its content is left out
};

// One report per checked entry that the save reached.
struct SavedEntry {
  const ScanNode* node = nullptr;
  std::string path;  // below the destination folder, for example "#/dir/file.txt"
  SaveOutcome outcome = SaveOutcome::Written;
  uint64_t leftOut = 0;  // checked entries below a folder that was not created or not entered
  std::string reason;    // the destination's reason when not created or not entered
};

class SaveListener {
 public:
  virtual ~SaveListener() = default;
  virtual void EntrySaved(const SavedEntry& entry) = 0;
};

// Counts of a save, for its final report.
struct SaveSummary {
  uint64_t written = 0;     // entries created (and for files, copied whole)
  uint64_t incomplete = 0;  // files created whose copy met a failure
  uint64_t failed = 0;      // entries not created, and checked entries left out below them
  bool stopped = false;     // a stop request ended the save
  std::string destinationError;  // why the save could not go on in the destination, if so

  uint64_t Failures() const { return incomplete + failed; }
};

// The state of one save while it runs.
struct SaveContext {
  SaveContext(EngineState& engine, Destination& target, SaveListener* observer = nullptr)
      : state(engine), destination(target), listener(observer) {}
  EngineState& state;
  Destination& destination;
  SaveListener* listener;
  SaveSummary summary;
  uint64_t visited = 0;        // checked entries handled so far: the progress count
  uint64_t progressTotal = 0;  // checked entries the save can reach
};

// Saves every checked entry of scanRoot below "#" of destination: creates "#" (it may exist),
// enters it, sets fileCount to 0 and runs SaveFolder on the root. fileCount then holds the
// number of entries created. The destination ends where it started (out of "#" again), so it can
// serve the next save. summary and listener may be null.
// Returns 1 when all checked entries were visited, 0 when a stop request ended the save or "#"
// could not be created or entered (summary->destinationError says so).
int SaveCheckedEntries(EngineState& state, Destination& destination, SaveSummary* summary = nullptr,
                       SaveListener* listener = nullptr);

// Saves folder's checked children into the destination's current folder and then, folder by
// folder, the content of each checked subfolder it created (files of a folder are written before
// any subfolder is entered). Walks with an explicit stack, so the tree's depth does not matter;
// a stop request is honoured before each child and after each subfolder. path is the current
// folder's path below the destination, used in the reports. Returns 1, or 0 after a stop (or
// when the destination lost its place).
int SaveFolder(SaveContext& context, ScanNode* folder, const std::string& path);

// The result of CreateEntry: a created folder has no file.
struct CreatedEntry {
  CreateStatus status = CreateStatus::Failed;
  std::unique_ptr<OutputFile> file;
  std::string reason;
};

// Creates node's folder (when it has children) or file in the current folder under the safe
// form of its name; a taken name makes the node take another one (MakeUniqueName with the next
// value of counter, the renaming counter of the folder) and creation is tried again. Returns
// status Done with the open file for a file, Failed with the reason when the destination refused
// the name for another reason or no free name was found.
CreatedEntry CreateEntry(SaveContext& context, ScanNode& node, uint32_t& counter);

// Appends "_#_" and value in decimal to node's name when lastFailure is Exists; the node keeps
// the new name for good (the views and later saves see it). Returns 1 when renamed, 0 otherwise.
int MakeUniqueName(ScanNode& node, uint32_t value, CreateStatus lastFailure);

// Copies node's data into file with the reader its origin calls for: a found file's run of
// sectors, a FAT entry's clusters or an NTFS entry's data attribute. Returns that copy's result.
int CopyEntryData(EngineState& state, const ScanNode& node, OutputFile& file);

// The checked entries that a save of folder would reach: its checked children and, below each
// checked child folder, the same again.
uint64_t CountCheckedBelow(const ScanNode& folder);

}  // namespace restora
